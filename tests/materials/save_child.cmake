# The save child program that the crash tests of the package save stop at
# every point of a save; test_materials finds it through QUILLOR_SAVE_CHILD.
if(TARGET test_materials)
  add_executable(materials_save_child ${CMAKE_CURRENT_LIST_DIR}/save_child_main.cpp)
  target_include_directories(materials_save_child PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(materials_save_child PRIVATE quillor_core)
  add_dependencies(test_materials materials_save_child)
  set_property(TEST materials APPEND PROPERTY ENVIRONMENT
    "QUILLOR_SAVE_CHILD=$<TARGET_FILE:materials_save_child>")
endif()
