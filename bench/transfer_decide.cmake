app_add_bench(bench_transfer_decide SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_transfer_decide.cpp
              LIBS jobs phonelink phonesim Qt6::Core Qt6::Gui Qt6::Concurrent Qt6::Network)
target_include_directories(bench_transfer_decide PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
