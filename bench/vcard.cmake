app_add_bench(bench_vcard SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_vcard.cpp LIBS formats)
