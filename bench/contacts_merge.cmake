# Merge of 10,000 contacts into an empty and then a full contacts.db.
app_add_bench(bench_contacts_merge SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_contacts_merge.cpp LIBS records)
