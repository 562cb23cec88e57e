app_add_bench(bench_load_messages SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_load_messages.cpp
              LIBS phonelink phonesim Qt6::Core Qt6::Network)
