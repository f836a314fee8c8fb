# Tests of the Linux implementation; built only on Linux.
quillbrane_add_test(linux_storage_test linux/linux_storage_test.cpp LIBS quillbrane_platform)
