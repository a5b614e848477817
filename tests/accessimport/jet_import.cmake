# The Jet value conversions are checked directly; the importer program itself
# is run by the window-side tests, which find it through QUILLOR_IMPORT_MDB
# (given to every window-side test program, so start-up tests can use it too).
if(TARGET test_accessimport AND TARGET quillor_jet_text)
  target_link_libraries(test_accessimport PRIVATE quillor_jet_text)
endif()
if(TARGET quillor-import-mdb)
  foreach(dir IN LISTS QUILLOR_DIRS)
    if(TARGET test_${dir}_ui AND TEST ${dir}_ui)
      add_dependencies(test_${dir}_ui quillor-import-mdb)
      set_property(TEST ${dir}_ui APPEND PROPERTY ENVIRONMENT
        "QUILLOR_IMPORT_MDB=$<TARGET_FILE:quillor-import-mdb>")
    endif()
  endforeach()
endif()
