app_add_bench(bench_message_store SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_message_store.cpp LIBS messagestore)
