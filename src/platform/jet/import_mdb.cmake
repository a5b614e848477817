# quillor-import-mdb: the Access/Jet importer, run by the program as a child
# process (and usable by hand). Lies beside quillor in the build folder.
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)

# Value conversions without libmdb (also linked into the tests).
add_library(quillor_jet_text STATIC ${CMAKE_SOURCE_DIR}/src/platform/jet/jet_text.cpp)
target_include_directories(quillor_jet_text PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(quillor_jet_text PUBLIC Iconv::Iconv)
set_target_properties(quillor_jet_text PROPERTIES AUTOMOC OFF)

add_executable(quillor-import-mdb
  ${CMAKE_SOURCE_DIR}/src/platform/jet/import_mdb_main.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/jet/import_mdb.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/jet/mdb_source.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/jet/sqlite_sink.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/jet/child_process.cpp)
target_link_libraries(quillor-import-mdb PRIVATE quillor_jet_text PkgConfig::LIBMDB SQLite::SQLite3)
set_target_properties(quillor-import-mdb PROPERTIES
  AUTOMOC OFF
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
