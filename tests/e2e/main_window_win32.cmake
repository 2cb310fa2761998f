# The window probe finds "the" main window of the Wine prefix: one test with
# a main window at a time.
set_tests_properties(e2e.main_window_win32 PROPERTIES RESOURCE_LOCK wine_main_window)
