# The materials list printed to a real PDF through the Qt printer: pages,
# texts and places read back with poppler's tools.
add_executable(test_printing_list_pdf
  ${CMAKE_CURRENT_LIST_DIR}/pdf/list_pdf_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdf/pdf_main.cpp)
target_include_directories(test_printing_list_pdf PRIVATE ${CMAKE_CURRENT_LIST_DIR}/.. ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(test_printing_list_pdf PRIVATE quillor_gui GTest::gtest PkgConfig::POPPLER)
add_test(NAME printing_list_pdf COMMAND test_printing_list_pdf)
set_tests_properties(printing_list_pdf PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 300)
