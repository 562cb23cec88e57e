# Shared helpers for the project's libraries, tools and tests.

# The compile options of the project's targets, linked PRIVATE
# (app_add_library, app_add_test and app_add_bench do it for you):
# app_options for the application and its tools, app_test_options for tests,
# benchmarks and fuzz targets. Both turn warnings into errors (unless
# APP_WARNINGS_AS_ERRORS is switched off, so a warning fails CI) and refuse
# Qt API deprecated in Qt 6.4. The application's own code is held to more:
# no implicit conversion between 8-bit strings and QString either way (every
# such conversion names its encoding), no narrowing conversion of a signal's
# arguments in connect, no C-style cast, no cast that drops const or
# alignment, no hidden overload of a virtual, no polymorphic class without a
# virtual destructor, and ISO C++ only (-pedantic). (QT_STRICT_ITERATORS
# changes nothing with Qt 6, whose container iterators are strict already.)
# Headers of src/ are also compiled into tests, under app_test_options.
option(APP_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" ON)
add_library(app_test_options INTERFACE)
target_compile_options(app_test_options INTERFACE -Wall -Wextra -Wno-unused-parameter
                       $<$<BOOL:${APP_WARNINGS_AS_ERRORS}>:-Werror>)
target_compile_definitions(app_test_options INTERFACE QT_DISABLE_DEPRECATED_BEFORE=0x060400)
add_library(app_options INTERFACE)
target_link_libraries(app_options INTERFACE app_test_options)
target_compile_options(app_options INTERFACE -Woverloaded-virtual -Wnon-virtual-dtor -Wold-style-cast -Wcast-qual
                       -Wcast-align -pedantic)
target_compile_definitions(app_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_CAST_TO_ASCII
                           QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_STRICT_ITERATORS)

# app_add_subdirs(dir1 dir2 ...): adds each sub-folder that holds a CMakeLists.txt,
# in the order given (libraries before the ones that link them).
function(app_add_subdirs)
  foreach(d IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()

# app_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [TIMEOUT s] [ENV VAR=value ...] [RUN_LAST])
# One Qt Test executable = one CTest test. Each test runs with its own HOME and
# XDG folders (tests/run-test.sh), offscreen, with WebEngine usable as root.
# RUN_LAST: the test runs after every other test of the run.
function(app_add_test)
  cmake_parse_arguments(T "RUN_LAST" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  target_link_libraries(${T_NAME} PRIVATE app_test_options testsupport ${T_LIBS} Qt6::Test)
  add_test(NAME ${T_NAME}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/run-test.sh $<TARGET_FILE:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "APP_SOURCE_DIR=${PROJECT_SOURCE_DIR};APP_BINARY_DIR=${CMAKE_BINARY_DIR};APP_BIN_DIR=${APP_OUTPUT_DIR};${T_ENV}")
  if(T_RUN_LAST)
    file(GLOB_RECURSE all CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/test_*.cpp)
    set(others)
    foreach(t IN LISTS all)
      get_filename_component(n ${t} NAME_WE)
      if(NOT n STREQUAL T_NAME)
        list(APPEND others ${n})
      endif()
    endforeach()
    set_tests_properties(${T_NAME} PROPERTIES DEPENDS "${others}")
  endif()
endfunction()

# app_add_test_dir(LIBS lib ...
#                  [TEST test_name [TIMEOUT s] [ENV VAR=value ...] [LIBS lib ...] [RUN_LAST]] ...)
# Every test_*.cpp in this folder becomes one test linking the given
# libraries. A TEST group adds settings of its own to one of them.
function(app_add_test_dir)
  set(common)
  set(current)
  set(mode LIBS)
  foreach(arg IN LISTS ARGN)
    if(arg STREQUAL "TEST")
      set(mode NAME)
    elseif(mode STREQUAL "NAME")
      set(current ${arg})
      list(APPEND names ${arg})
      set(mode NONE)
    elseif(arg MATCHES "^(LIBS|ENV|TIMEOUT)$")
      set(mode ${arg})
    elseif(arg STREQUAL "RUN_LAST" AND current)
      set(opt_${current}_RUN_LAST RUN_LAST)
    elseif(current)
      list(APPEND opt_${current}_${mode} ${arg})
    else()
      list(APPEND common ${arg})
    endif()
  endforeach()
  file(GLOB TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(t IN LISTS TESTS)
    get_filename_component(n ${t} NAME_WE)
    list(REMOVE_ITEM names ${n})
    app_add_test(NAME ${n} SOURCES ${t} LIBS ${common} ${opt_${n}_LIBS}
                 TIMEOUT "${opt_${n}_TIMEOUT}" ENV ${opt_${n}_ENV} ${opt_${n}_RUN_LAST})
  endforeach()
  if(names)
    message(FATAL_ERROR "Settings for tests that do not exist here: ${names}")
  endif()
endfunction()

# app_add_library(NAME name LIBS lib ...): a static library of every .cpp/.h/.ui
# in this folder, public include root src/. Its user-visible texts live in
# src/resources/i18n/<name>.ts, which "make translations" brings up to date.
function(app_add_library)
  cmake_parse_arguments(L "" "NAME" "LIBS" ${ARGN})
  file(GLOB SRCS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  add_library(${L_NAME} STATIC ${SRCS})
  target_include_directories(${L_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${L_NAME} PUBLIC ${L_LIBS} PRIVATE app_options)
  app_add_translations(${L_NAME})
endfunction()

# app_add_translations(target): registers the target's translation file for
# "make translations" (lupdate over the target's own sources).
function(app_add_translations target)
  set(ts ${PROJECT_SOURCE_DIR}/src/resources/i18n/${target}.ts)
  if(EXISTS ${ts})
    qt_add_lupdate(${target} TS_FILES ${ts} OPTIONS -locations none -no-ui-lines -no-obsolete)
  endif()
endfunction()
