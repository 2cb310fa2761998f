# The service's built-in servers take the real ports 37 and 123 of 127.0.0.1;
# the service "Chronobel" in the Wine prefix is this test's alone while it runs.
set_tests_properties(e2e.service_win32 PROPERTIES RESOURCE_LOCK "real_time_ports;wine_service"
  ENVIRONMENT "CHRONOBEL_KEEP_WINESERVER=1;CHRONOBEL_NATIVE=$<TARGET_FILE:chronobel>")
