# Tests of the installation, the Debian package and the documents. They
# need the host's man, groff, cpack and dpkg tools, so they are native
# Linux builds only.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()

set(QUILLBRANE_PACKAGING_TESTS ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME packaging.manpage
  COMMAND bash ${QUILLBRANE_PACKAGING_TESTS}/manpage_test.sh
          $<TARGET_FILE:quillbrane> ${PROJECT_BINARY_DIR}/quillbrane.1.gz ${PROJECT_VERSION})

add_test(NAME packaging.deb
  COMMAND bash ${QUILLBRANE_PACKAGING_TESTS}/deb_test.sh
          ${PROJECT_BINARY_DIR} $<TARGET_FILE:quillbrane> ${PROJECT_VERSION})
# cpack installs the whole build tree; keep it apart from other tests.
set_tests_properties(packaging.deb PROPERTIES RUN_SERIAL ON TIMEOUT 300)

add_test(NAME packaging.report_format_doc
  COMMAND bash ${QUILLBRANE_PACKAGING_TESTS}/report_format_doc_test.sh ${PROJECT_SOURCE_DIR})
