app_add_bench(bench_file_transfer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_file_transfer.cpp
              LIBS jobs phonelink phonesim Qt6::Core Qt6::Network)
