# Speed of the Access/Jet import against mdb-export of the same file: build the
# target jet_import_bench and run it (see bench/jet_import_bench.cpp).
if(TARGET quillor_jet_import)
  add_executable(jet_import_bench ${CMAKE_SOURCE_DIR}/bench/jet_import_bench.cpp)
  target_link_libraries(jet_import_bench PRIVATE quillor_jet_import)
  target_compile_definitions(jet_import_bench PRIVATE
    QUILLOR_JET_FIXTURE="${CMAKE_SOURCE_DIR}/tests/data/jet/template_jet4.mdb"
    QUILLOR_IMPORTER="$<TARGET_FILE:quillor-import-mdb>")
  add_dependencies(jet_import_bench quillor-import-mdb)
  set_target_properties(jet_import_bench PROPERTIES AUTOMOC OFF)
endif()
