app_add_bench(bench_image_encoding SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_image_encoding.cpp
              LIBS messagestore Qt6::Core Qt6::Gui Qt6::Concurrent)
