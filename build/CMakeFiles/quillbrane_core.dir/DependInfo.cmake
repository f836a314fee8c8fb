
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/format/format.cpp" "CMakeFiles/quillbrane_core.dir/format/format.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/format/format.cpp.o.d"
  "/work/main/format/name_tables.cpp" "CMakeFiles/quillbrane_core.dir/format/name_tables.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/format/name_tables.cpp.o.d"
  "/work/main/format/report_text.cpp" "CMakeFiles/quillbrane_core.dir/format/report_text.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/format/report_text.cpp.o.d"
  "/work/main/sections/geometry_section.cpp" "CMakeFiles/quillbrane_core.dir/sections/geometry_section.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/sections/geometry_section.cpp.o.d"
  "/work/main/sections/layout_summary.cpp" "CMakeFiles/quillbrane_core.dir/sections/layout_summary.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/sections/layout_summary.cpp.o.d"
  "/work/main/sections/partition_entries.cpp" "CMakeFiles/quillbrane_core.dir/sections/partition_entries.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/sections/partition_entries.cpp.o.d"
  "/work/main/sections/volume_details.cpp" "CMakeFiles/quillbrane_core.dir/sections/volume_details.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/sections/volume_details.cpp.o.d"
  "/work/main/storage/crc32.cpp" "CMakeFiles/quillbrane_core.dir/storage/crc32.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/storage/crc32.cpp.o.d"
  "/work/main/storage/disk_source.cpp" "CMakeFiles/quillbrane_core.dir/storage/disk_source.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/storage/disk_source.cpp.o.d"
  "/work/main/storage/error_codes.cpp" "CMakeFiles/quillbrane_core.dir/storage/error_codes.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/storage/error_codes.cpp.o.d"
  "/work/main/storage/partition_table.cpp" "CMakeFiles/quillbrane_core.dir/storage/partition_table.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/storage/partition_table.cpp.o.d"
  "/work/main/storage/utf16.cpp" "CMakeFiles/quillbrane_core.dir/storage/utf16.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/storage/utf16.cpp.o.d"
  "/work/main/survey/report_writer.cpp" "CMakeFiles/quillbrane_core.dir/survey/report_writer.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/survey/report_writer.cpp.o.d"
  "/work/main/survey/survey.cpp" "CMakeFiles/quillbrane_core.dir/survey/survey.cpp.o" "gcc" "CMakeFiles/quillbrane_core.dir/survey/survey.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
