# test_dataroot checks that no test wrote into the real user's data root, so
# it runs after every other test of the run: it depends on all of them by
# name (tests that are not part of a run are ignored by CTest).
file(GLOB_RECURSE _app_all_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/test_*.cpp)
set(_app_other_tests)
foreach(_t IN LISTS _app_all_tests)
  get_filename_component(_n ${_t} NAME_WE)
  if(NOT _n STREQUAL "test_dataroot")
    list(APPEND _app_other_tests ${_n})
  endif()
endforeach()
list(REMOVE_DUPLICATES _app_other_tests)
set_tests_properties(test_dataroot PROPERTIES DEPENDS "${_app_other_tests}")
