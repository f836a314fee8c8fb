# Installation and packages: the manual page, the documents, and CPack's
# Debian package (Linux) or zip (Windows). Included at the end of the
# top-level CMakeLists.txt, after the quillbrane target exists.

if(WIN32)
  set(QUILLBRANE_DOC_DIR doc)
else()
  set(QUILLBRANE_DOC_DIR share/doc/quillbrane)
endif()

# The manual page carries the project version. Debian installs manual pages
# compressed with gzip -9n (-n: no name or time stamp, so the package is
# reproducible); the page is a Unix document and is left out of the zip.
configure_file(${PROJECT_SOURCE_DIR}/docs/quillbrane.1.in ${PROJECT_BINARY_DIR}/quillbrane.1 @ONLY)
if(NOT WIN32)
  find_program(QUILLBRANE_GZIP gzip REQUIRED)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/quillbrane.1.gz
    COMMAND ${QUILLBRANE_GZIP} -9nc ${PROJECT_BINARY_DIR}/quillbrane.1 > ${PROJECT_BINARY_DIR}/quillbrane.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/quillbrane.1
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(quillbrane_manpage ALL DEPENDS ${PROJECT_BINARY_DIR}/quillbrane.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/quillbrane.1.gz DESTINATION share/man/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/report-format.md ${PROJECT_SOURCE_DIR}/docs/linux-volumes.md
        DESTINATION ${QUILLBRANE_DOC_DIR})

set(CPACK_PACKAGE_NAME quillbrane)
set(CPACK_PACKAGE_VENDOR "Quillbrane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "survey of physical disks, partitions and volumes")
# The extended description, wrapped for the Debian control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Quillbrane probes the physical drives 0 to 14 and writes what the storage\n"
  "stack reports about them into the file Quillbrane.txt in the current\n"
  "directory: drive geometry and size, the MBR or GPT partition layout with\n"
  "every partition entry, and for each partition its volume's mount paths,\n"
  "label, file system, serial number and flags, in the form Windows reports\n"
  "them. Disks are only ever opened read-only.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "quillbrane-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(QUILLBRANE_PACKAGE_MAINTAINER "Quillbrane developers <quillbrane@example.org>"
      CACHE STRING "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_NAME quillbrane)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLBRANE_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The run-time dependencies (libc6 and the libraries
  # the platform layer links) are computed by dpkg-shlibdeps from the binary.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
