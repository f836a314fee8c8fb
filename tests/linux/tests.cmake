# Tests of the Linux implementation; built only on Linux.
quillbrane_add_test(linux_storage_test linux/linux_storage_test.cpp LIBS quillbrane_platform)
quillbrane_add_test(partition_table_images_test linux/partition_table_images_test.cpp LIBS quillbrane_platform)
