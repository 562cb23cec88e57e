app_add_bench(bench_restore_messages SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_restore_messages.cpp
              LIBS jobs phonelink phonesim Qt6::Core Qt6::Gui Qt6::Network)
