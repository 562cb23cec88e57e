app_add_bench(bench_media_relay SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_media_relay.cpp
              LIBS views_media jobs phonelink phonesim Qt6::Widgets Qt6::Network)
