app_add_bench(bench_sqlite_layer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_sqlite_layer.cpp LIBS platform)
