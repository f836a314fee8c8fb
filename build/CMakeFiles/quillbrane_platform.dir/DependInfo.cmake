
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/storage/linux/drive_list.cpp" "CMakeFiles/quillbrane_platform.dir/storage/linux/drive_list.cpp.o" "gcc" "CMakeFiles/quillbrane_platform.dir/storage/linux/drive_list.cpp.o.d"
  "/work/main/storage/linux/fd_disk.cpp" "CMakeFiles/quillbrane_platform.dir/storage/linux/fd_disk.cpp.o" "gcc" "CMakeFiles/quillbrane_platform.dir/storage/linux/fd_disk.cpp.o.d"
  "/work/main/storage/linux/linux_storage.cpp" "CMakeFiles/quillbrane_platform.dir/storage/linux/linux_storage.cpp.o" "gcc" "CMakeFiles/quillbrane_platform.dir/storage/linux/linux_storage.cpp.o.d"
  "/work/main/storage/linux/report_file_linux.cpp" "CMakeFiles/quillbrane_platform.dir/storage/linux/report_file_linux.cpp.o" "gcc" "CMakeFiles/quillbrane_platform.dir/storage/linux/report_file_linux.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  "/work/main/build/CMakeFiles/quillbrane_core.dir/DependInfo.cmake"
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
