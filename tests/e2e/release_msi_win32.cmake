# The release tests work in Wine prefixes of their own, not the shared one.
set_tests_properties(e2e.release_msi_win32 PROPERTIES FIXTURES_REQUIRED "" ENVIRONMENT "" TIMEOUT 900)
