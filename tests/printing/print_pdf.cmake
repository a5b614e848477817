# Printing to a real PDF through the Qt printer. The program loads the font
# aliases before its QApplication exists, as the real program does, so the
# pages carry the faces the windows ask for.
add_executable(test_printing_pdf
  ${CMAKE_CURRENT_LIST_DIR}/pdf/print_pdf_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdf/xzsptab_pdf_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdf/preview_pdf_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdf/pdf_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_db.cpp)
target_include_directories(test_printing_pdf PRIVATE ${CMAKE_CURRENT_LIST_DIR}/.. ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(test_printing_pdf PRIVATE quillor_gui GTest::gtest PkgConfig::POPPLER)
add_test(NAME printing_pdf COMMAND test_printing_pdf)
set_tests_properties(printing_pdf PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 300)

# quillor-print-sample OUT.pdf: prints the sample form of the tests (used by
# scripts/screenshot_print.sh).
add_executable(quillor-print-sample
  ${CMAKE_CURRENT_LIST_DIR}/pdf/print_sample_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdf/pdf_main.cpp)
target_include_directories(quillor-print-sample PRIVATE ${CMAKE_CURRENT_LIST_DIR}/.. ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quillor-print-sample PRIVATE quillor_gui GTest::gtest PkgConfig::POPPLER)
