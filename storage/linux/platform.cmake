# The Linux implementation of the storage queries and the report file.
# libblkid finds file systems; the mount table is read by mount_table.cpp.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QUILLBRANE_BLKID REQUIRED blkid)

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
target_include_directories(quillbrane_platform PRIVATE ${QUILLBRANE_BLKID_INCLUDE_DIRS})
target_link_libraries(quillbrane_platform PUBLIC quillbrane_core)
if(QUILLBRANE_STATIC)
  # libblkid-dev ships the archive; it needs nothing but the C library.
  find_library(QUILLBRANE_BLKID_ARCHIVE NAMES libblkid.a HINTS ${QUILLBRANE_BLKID_LIBRARY_DIRS} REQUIRED)
  target_link_libraries(quillbrane_platform PRIVATE ${QUILLBRANE_BLKID_ARCHIVE})
else()
  target_link_libraries(quillbrane_platform PRIVATE ${QUILLBRANE_BLKID_LINK_LIBRARIES})
endif()
