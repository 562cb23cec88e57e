app_add_bench(bench_messages_page SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_messages_page.cpp
              LIBS views_messages Qt6::Widgets Qt6::WebEngineWidgets)
