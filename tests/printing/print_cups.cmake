# Printing through a real print system: the test starts a CUPS daemon of its
# own (tests/printing/cups/private_cups.h) and prints the windows through it;
# where cupsd cannot run it exits 77, which ctest reports as skipped.
if(TARGET Cups::Cups AND TARGET quillor_cups)
  add_executable(test_printing_cups
    ${CMAKE_CURRENT_LIST_DIR}/cups/print_cups_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cups/private_cups.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_db.cpp)
  target_include_directories(test_printing_cups PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..
    ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/pdf)
  target_link_libraries(test_printing_cups PRIVATE quillor_gui GTest::gtest PkgConfig::POPPLER
    Cups::Cups)
  add_test(NAME printing_cups COMMAND test_printing_cups)
  set_tests_properties(printing_cups PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 180
    SKIP_RETURN_CODE 77)
endif()
