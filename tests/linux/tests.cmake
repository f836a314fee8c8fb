# Tests of the Linux implementation; built only on Linux.
quillbrane_add_test(linux_storage_test linux/linux_storage_test.cpp LIBS quillbrane_platform)
quillbrane_add_test(volume_mounts_test linux/volume_mounts_test.cpp LIBS quillbrane_platform)
quillbrane_add_test(file_system_probe_test linux/file_system_probe_test.cpp LIBS quillbrane_platform)
quillbrane_add_test(partition_table_images_test linux/partition_table_images_test.cpp LIBS quillbrane_platform)

# The program as a process: normal run, report creation failures, full
# file system. Attaches loop devices when run as root, so it runs alone.
add_test(NAME process_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux/process_test.sh $<TARGET_FILE:quillbrane>)
set_tests_properties(process_test PROPERTIES RESOURCE_LOCK loopdev TIMEOUT 180)

# The survey only reads: opens traced with strace, images checksummed.
add_test(NAME read_only_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux/read_only_test.sh $<TARGET_FILE:quillbrane>)
set_tests_properties(read_only_test PROPERTIES RESOURCE_LOCK loopdev SKIP_RETURN_CODE 77 TIMEOUT 120)

# The program under valgrind memcheck (which cannot run a sanitized build).
# valgrind watches malloc only in a dynamically linked program, so memcheck
# runs a twin of the program linked that way when the program is static.
if(NOT QUILLBRANE_SANITIZE)
  if(QUILLBRANE_STATIC)
    add_executable(quillbrane_shared_libc ${PROJECT_SOURCE_DIR}/survey/main.cpp ${PROJECT_SOURCE_DIR}/survey/run_survey.cpp)
    target_link_libraries(quillbrane_shared_libc PRIVATE quillbrane_platform quillbrane_core)
    set(QUILLBRANE_MEMCHECK_PROGRAM quillbrane_shared_libc)
  else()
    set(QUILLBRANE_MEMCHECK_PROGRAM quillbrane)
  endif()
  add_test(NAME memcheck_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux/memcheck_test.sh
                                       $<TARGET_FILE:${QUILLBRANE_MEMCHECK_PROGRAM}>
                                       $<TARGET_FILE:write_hostile_disks>)
  set_tests_properties(memcheck_test PROPERTIES RESOURCE_LOCK loopdev SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

# The volumes of loop disks with ext4 and NTFS file systems, mounted, in the
# report. Needs root; attaches loop devices, so it runs alone.
add_test(NAME e2e_volumes_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux/e2e_volumes_test.sh $<TARGET_FILE:quillbrane>)
set_tests_properties(e2e_volumes_test PROPERTIES RESOURCE_LOCK loopdev SKIP_RETURN_CODE 77 TIMEOUT 180)

# The hostile-disk catalogue as image files and a manifest of what the
# report must show for each, for the end-to-end test and bench/hostile.sh.
add_executable(write_hostile_disks write_hostile_disks.cpp)
target_link_libraries(write_hostile_disks PRIVATE quillbrane_disk_images quillbrane_core)

# Every hostile disk of the catalogue attached as a loop disk and surveyed
# under a time limit: a well-formed report showing what the catalogue says,
# images unchanged, no line forged by labels, names or mount paths.
add_test(NAME hostile_disks_e2e_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux/hostile_disks_test.sh
                 $<TARGET_FILE:quillbrane> $<TARGET_FILE:write_hostile_disks>)
set_tests_properties(hostile_disks_e2e_test PROPERTIES RESOURCE_LOCK loopdev SKIP_RETURN_CODE 77 TIMEOUT 600)
