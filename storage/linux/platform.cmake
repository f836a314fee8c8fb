# The Linux implementation of the storage queries and the report file.
# libblkid finds file systems, libmount reads the mount table.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QUILLBRANE_LINUX_LIBS REQUIRED IMPORTED_TARGET blkid mount)

add_library(quillbrane_platform STATIC
  storage/linux/block_devices.cpp
  storage/linux/drive_list.cpp
  storage/linux/fd_disk.cpp
  storage/linux/file_system_probe.cpp
  storage/linux/linux_storage.cpp
  storage/linux/mount_table.cpp
  storage/linux/report_file_linux.cpp
  storage/linux/sysfs.cpp
  storage/linux/volume_mounts.cpp
)
target_link_libraries(quillbrane_platform PUBLIC quillbrane_core PRIVATE PkgConfig::QUILLBRANE_LINUX_LIBS)
