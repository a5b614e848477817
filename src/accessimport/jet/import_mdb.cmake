# quillor-import-mdb: the Access/Jet importer, run by the program as a child
# process (and usable by hand). Lies beside quillor in the build folder.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
set(JET_DIR ${CMAKE_SOURCE_DIR}/src/accessimport/jet)

# Value conversions without libmdb (also linked into the tests).
add_library(quillor_jet_text STATIC ${JET_DIR}/jet_text.cpp)
target_include_directories(quillor_jet_text PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(quillor_jet_text PUBLIC quillor_core Iconv::Iconv)

# The import itself (also linked into the benchmark).
add_library(quillor_jet_import STATIC
  ${JET_DIR}/import_mdb.cpp
  ${JET_DIR}/mdb_source.cpp
  ${JET_DIR}/sqlite_sink.cpp)
target_link_libraries(quillor_jet_import PUBLIC quillor_jet_text PkgConfig::LIBMDB SQLite::SQLite3)

add_executable(quillor-import-mdb ${JET_DIR}/import_mdb_main.cpp)
target_link_libraries(quillor-import-mdb PRIVATE quillor_jet_import)
if(MINGW)
  # Windows hands the program its arguments as UTF-16 through wmain.
  target_link_options(quillor-import-mdb PRIVATE -municode)
endif()
set_target_properties(quillor-import-mdb PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set_target_properties(quillor_jet_text quillor_jet_import quillor-import-mdb PROPERTIES AUTOMOC OFF)
add_dependencies(quillor quillor-import-mdb)
