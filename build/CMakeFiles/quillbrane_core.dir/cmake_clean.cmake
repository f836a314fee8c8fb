file(REMOVE_RECURSE
  "CMakeFiles/quillbrane_core.dir/format/format.cpp.o"
  "CMakeFiles/quillbrane_core.dir/format/format.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/format/name_tables.cpp.o"
  "CMakeFiles/quillbrane_core.dir/format/name_tables.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/format/report_text.cpp.o"
  "CMakeFiles/quillbrane_core.dir/format/report_text.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/sections/geometry_section.cpp.o"
  "CMakeFiles/quillbrane_core.dir/sections/geometry_section.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/sections/layout_summary.cpp.o"
  "CMakeFiles/quillbrane_core.dir/sections/layout_summary.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/sections/partition_entries.cpp.o"
  "CMakeFiles/quillbrane_core.dir/sections/partition_entries.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/sections/volume_details.cpp.o"
  "CMakeFiles/quillbrane_core.dir/sections/volume_details.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/storage/crc32.cpp.o"
  "CMakeFiles/quillbrane_core.dir/storage/crc32.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/storage/disk_source.cpp.o"
  "CMakeFiles/quillbrane_core.dir/storage/disk_source.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/storage/error_codes.cpp.o"
  "CMakeFiles/quillbrane_core.dir/storage/error_codes.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/storage/partition_table.cpp.o"
  "CMakeFiles/quillbrane_core.dir/storage/partition_table.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/storage/utf16.cpp.o"
  "CMakeFiles/quillbrane_core.dir/storage/utf16.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/survey/report_writer.cpp.o"
  "CMakeFiles/quillbrane_core.dir/survey/report_writer.cpp.o.d"
  "CMakeFiles/quillbrane_core.dir/survey/survey.cpp.o"
  "CMakeFiles/quillbrane_core.dir/survey/survey.cpp.o.d"
  "libquillbrane_core.a"
  "libquillbrane_core.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quillbrane_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
