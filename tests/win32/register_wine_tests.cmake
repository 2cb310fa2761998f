# Included by the native tree's tests: registers the Windows program's tests,
# run under Wine from the Windows build tree CHRONOBEL_WIN32_BUILD, so that
# one CTest run covers every tier. One CTest test per GoogleTest suite, so a
# failure names its suite.
set(wine_build ${CHRONOBEL_WIN32_BUILD})
if(NOT EXISTS ${wine_build}/CMakeCache.txt)
  message(STATUS "No Windows build tree in ${wine_build}: the Wine tests are left out")
  return()
endif()
set(run_under_wine bash ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh ${wine_build})

# Wine's own start-up is slow on first use: one test makes the prefix and
# keeps its server running for the others, and one stops it at the end.
add_test(NAME wine.prefix COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_session.sh start ${wine_build})
add_test(NAME wine.stop COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_session.sh stop ${wine_build})
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 1800)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine_prefix TIMEOUT 120)

# The suites, read from the test sources.
file(GLOB wine_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
include(${CMAKE_CURRENT_LIST_DIR}/shared_unit_tests.cmake)
list(APPEND wine_test_sources ${shared_unit_tests})
set(wine_suites)
foreach(source IN LISTS wine_test_sources)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(STRINGS ${source} test_lines REGEX "^TEST(_F)?\\(")
  foreach(line IN LISTS test_lines)
    string(REGEX REPLACE "^TEST(_F)?\\(([A-Za-z0-9_]+),.*" "\\2" suite "${line}")
    list(APPEND wine_suites ${suite})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES wine_suites)

foreach(suite IN LISTS wine_suites)
  add_test(NAME wine.${suite}
    COMMAND ${run_under_wine} ${wine_build}/tests/win32/chronobel_win32_tests.exe --gtest_filter=${suite}.* --gtest_brief=1)
  # A zone with daylight saving, so that local-time conversions are not the
  # identity; only the Wine processes see it.
  set_tests_properties(wine.${suite} PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 900 ENVIRONMENT "TZ=Europe/Berlin")
endforeach()

# The dialog tests show their dialogs, which take the foreground of the Wine
# session's one desktop: not while a whole-program test types into its window.
if(TEST wine.DialogsOnWine)
  set_tests_properties(wine.DialogsOnWine PROPERTIES RESOURCE_LOCK wine_desktop)
endif()
