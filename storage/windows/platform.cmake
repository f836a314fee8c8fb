# The Windows implementation of the storage queries and the report file.
add_library(quillbrane_platform STATIC
  storage/windows/report_file_windows.cpp
  storage/windows/windows_storage.cpp
)
# kernel32 for the storage, file and error calls; user32 for CharToOemA.
target_link_libraries(quillbrane_platform PUBLIC quillbrane_core kernel32 user32)
# <windows.h> without its rarely used parts and without the min and max
# macros, for this library and everything that links it (the Windows tests).
target_compile_definitions(quillbrane_platform PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

if(MINGW)
  # Every executable of the build (the program and each test binary) links
  # the C++ and threading runtimes in, so that it imports system DLLs only
  # and runs on a bare Windows or Wine without MinGW's DLLs beside it.
  add_link_options(-static)
endif()
