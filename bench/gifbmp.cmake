app_add_bench(bench_gifbmp SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_gifbmp.cpp
              LIBS messagestore Qt6::Core Qt6::Gui)
target_include_directories(bench_gifbmp PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
