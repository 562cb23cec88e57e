# Shared helpers for the project's libraries and tests.

# app_add_subdirs(dir1 dir2 ...): adds each sub-folder that holds a CMakeLists.txt,
# in the order given (libraries before the ones that link them).
function(app_add_subdirs)
  foreach(d IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()

# app_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [TIMEOUT s] [LABELS l])
# One Qt Test executable = one CTest test. Each test runs with its own HOME and
# XDG folders (tests/run-test.sh), offscreen, with WebEngine usable as root.
function(app_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  target_link_libraries(${T_NAME} PRIVATE testsupport ${T_LIBS} Qt6::Test)
  add_test(NAME ${T_NAME}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/run-test.sh $<TARGET_FILE:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "APP_SOURCE_DIR=${PROJECT_SOURCE_DIR};APP_BINARY_DIR=${CMAKE_BINARY_DIR};APP_BIN_DIR=${APP_OUTPUT_DIR}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# app_add_test_dir(LIBS lib ...): every test_*.cpp in this folder becomes one
# test linking the given libraries. A file tests/<dir>/<test>.cmake, when
# present, is included after the tests are made (for timeouts or extra
# sources).
function(app_add_test_dir)
  cmake_parse_arguments(D "" "" "LIBS" ${ARGN})
  file(GLOB TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(t IN LISTS TESTS)
    get_filename_component(n ${t} NAME_WE)
    app_add_test(NAME ${n} SOURCES ${t} LIBS ${D_LIBS})
  endforeach()
  file(GLOB EXTRA CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(f IN LISTS EXTRA)
    include(${f})
  endforeach()
endfunction()

# app_add_library(NAME name LIBS lib ...): a static library of every .cpp/.h in
# this folder, public include root src/.
function(app_add_library)
  cmake_parse_arguments(L "" "NAME" "LIBS" ${ARGN})
  file(GLOB SRCS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT SRCS)
    # Not written yet: an empty library so that dependents still configure.
    add_library(${L_NAME} INTERFACE)
    target_include_directories(${L_NAME} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${L_NAME} INTERFACE ${L_LIBS})
    return()
  endif()
  add_library(${L_NAME} STATIC ${SRCS})
  target_include_directories(${L_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${L_NAME} PUBLIC ${L_LIBS})
endfunction()
