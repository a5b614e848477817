# The Debian package: made by CPack from this build, its contents and fields
# checked, unpacked into a scratch root and the installed program started on a
# read-only installation folder (tests/startup/package_test.sh).
find_program(QUILLOR_DPKG_DEB dpkg-deb)
if(QUILLOR_DPKG_DEB AND TARGET quillor)
  add_test(NAME package
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_CPACK_COMMAND} ${PROJECT_VERSION})
  set_tests_properties(package PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 600)
endif()
