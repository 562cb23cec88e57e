app_add_bench(bench_image_encoding SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_image_encoding.cpp
              LIBS messagestore Qt6::Core Qt6::Gui Qt6::Concurrent)
target_include_directories(bench_image_encoding PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
