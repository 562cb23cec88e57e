app_add_bench(bench_messages_page SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_messages_page.cpp
              LIBS views_messages Qt6::Widgets Qt6::WebEngineWidgets)
# The large conversation is built with the message builders of the format tests.
target_link_libraries(bench_messages_page PRIVATE testsupport)
target_include_directories(bench_messages_page PRIVATE ${PROJECT_SOURCE_DIR}/tests/formats)
