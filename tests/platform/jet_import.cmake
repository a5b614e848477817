# The Jet value conversions are checked directly; the importer program itself
# is run by the window-side tests, which find it through QUILLOR_IMPORT_MDB.
if(TARGET test_platform AND TARGET quillor_jet_text)
  target_link_libraries(test_platform PRIVATE quillor_jet_text)
endif()
if(TARGET test_platform_ui AND TARGET quillor-import-mdb)
  add_dependencies(test_platform_ui quillor-import-mdb)
  set_property(TEST platform_ui APPEND PROPERTY ENVIRONMENT
    "QUILLOR_IMPORT_MDB=$<TARGET_FILE:quillor-import-mdb>")
endif()
