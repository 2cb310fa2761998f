# The quick sync asks a test server on the real ports 37 and 123 of 127.0.0.1.
# Its silent start shows a main window, which the probe finds by its class.
set_tests_properties(e2e.switches_win32 PROPERTIES RESOURCE_LOCK "real_time_ports;wine_main_window")
