app_add_bench(bench_message_export SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_message_export.cpp
              LIBS formats testsupport Qt6::Widgets)
target_include_directories(bench_message_export PRIVATE ${PROJECT_SOURCE_DIR}/tests/formats)
