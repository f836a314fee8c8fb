# The Linux implementation of the storage queries and the report file.
add_library(quillbrane_platform STATIC
  storage/linux/drive_list.cpp
  storage/linux/fd_disk.cpp
  storage/linux/linux_storage.cpp
  storage/linux/report_file_linux.cpp
)
target_link_libraries(quillbrane_platform PUBLIC quillbrane_core)
