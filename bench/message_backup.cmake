app_add_bench(bench_message_backup SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_message_backup.cpp
              LIBS jobs messagestore Qt6::Core)
