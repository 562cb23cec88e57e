# Opening the contacts page on 20,000 cached contacts, against reading them alone.
app_add_bench(bench_contacts_page SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_contacts_page.cpp
              LIBS views_contacts Qt6::Widgets)
