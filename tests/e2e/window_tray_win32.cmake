# A check against a silent test server on the real ports 37 and 123 of 127.0.0.1.
set_tests_properties(e2e.window_tray_win32 PROPERTIES RESOURCE_LOCK real_time_ports)
