# Not a benchmark (make bench runs bench_* only): a long session's memory.
app_add_bench(soak_two_phones SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/soak_two_phones.cpp
              LIBS jobs phonelink records phonesim Qt6::Core Qt6::Network)
