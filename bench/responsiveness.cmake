# How soon work ends after Cancel, a stop or a time limit, and two large inputs.
app_add_bench(bench_responsiveness SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_responsiveness.cpp
              LIBS simsupport views_media jobs phonelink phonesim Qt6::Widgets Qt6::Network Qt6::Test)
