# The program with its modules missing: a test program of its own, whose main
# names a module folder that holds none.
add_executable(test_missing_modules ${CMAKE_CURRENT_LIST_DIR}/missing_modules/missing_modules_test.cpp)
target_include_directories(test_missing_modules PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(test_missing_modules PRIVATE quillor_gui GTest::gtest)
add_test(NAME missing_modules COMMAND test_missing_modules)
set_tests_properties(missing_modules PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 300)
