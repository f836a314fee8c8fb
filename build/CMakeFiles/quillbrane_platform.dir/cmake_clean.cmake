file(REMOVE_RECURSE
  "CMakeFiles/quillbrane_platform.dir/storage/linux/drive_list.cpp.o"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/drive_list.cpp.o.d"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/fd_disk.cpp.o"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/fd_disk.cpp.o.d"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/linux_storage.cpp.o"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/linux_storage.cpp.o.d"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/report_file_linux.cpp.o"
  "CMakeFiles/quillbrane_platform.dir/storage/linux/report_file_linux.cpp.o.d"
  "libquillbrane_platform.a"
  "libquillbrane_platform.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quillbrane_platform.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
