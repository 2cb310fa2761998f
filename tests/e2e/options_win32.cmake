# The scan asks the native program's built-in server on the real ports 37 and 123.
set_tests_properties(e2e.options_win32 PROPERTIES RESOURCE_LOCK real_time_ports)
