# The portable tests of the time query and of the program's threads that the
# Win32 tier runs too, over Winsock and Win32 threads, against the same
# loopback servers.
set(shared_unit_dir ${CMAKE_CURRENT_LIST_DIR}/../unit)
set(shared_unit_tests
  ${shared_unit_dir}/query_time_test.cpp ${shared_unit_dir}/query_sntp_test.cpp
  ${shared_unit_dir}/query_lifecycle_test.cpp ${shared_unit_dir}/query_conversions_test.cpp
  ${shared_unit_dir}/source_selection_test.cpp
  ${shared_unit_dir}/program_threads_test.cpp
  ${shared_unit_dir}/server_scan_test.cpp)
set(shared_unit_support
  ${shared_unit_dir}/support/loopback_servers.cpp ${shared_unit_dir}/support/query_harness.cpp
  ${shared_unit_dir}/support/test_clock.cpp)
