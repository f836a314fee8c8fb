# Tests of the Windows implementation; built only on Windows (under Wine
# when cross-built).
quillbrane_add_test(windows_storage_test windows/windows_storage_test.cpp LIBS quillbrane_platform)
quillbrane_add_test(report_file_windows_test windows/report_file_windows_test.cpp LIBS quillbrane_platform)

# The program itself, started by the test in an empty folder.
quillbrane_add_test(windows_end_to_end_test windows/end_to_end_test.cpp LIBS user32)
target_compile_definitions(windows_end_to_end_test PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX
  QUILLBRANE_PROGRAM="${QUILLBRANE_TEST_DRIVE}$<TARGET_FILE:quillbrane>")
add_dependencies(windows_end_to_end_test quillbrane)
