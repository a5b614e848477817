# The versions of Qt, libxml2 and SQLite found here, and the version-dependent
# sources compiled against them with every warning an error.
add_test(NAME library_versions
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -DQT_VERSION=${Qt6_VERSION} -DLIBXML2_VERSION=${LIBXML2_VERSION_STRING}
                 -DSQLITE_VERSION=${SQLite3_VERSION} -DCXX_ID=${CMAKE_CXX_COMPILER_ID}
                 -DCXX_VERSION=${CMAKE_CXX_COMPILER_VERSION}
                 -P ${CMAKE_SOURCE_DIR}/scripts/check_libraries.cmake)
set_tests_properties(library_versions PROPERTIES TIMEOUT 300)
