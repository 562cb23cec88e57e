app_add_bench(bench_thumbnails SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_thumbnails.cpp
              LIBS views_messages Qt6::Widgets Qt6::WebEngineWidgets)
# The photos come from the test support's writer; the messages from the
# message builders of the format tests.
target_link_libraries(bench_thumbnails PRIVATE testsupport photowriter)
target_include_directories(bench_thumbnails PRIVATE ${PROJECT_SOURCE_DIR}/tests/formats)
