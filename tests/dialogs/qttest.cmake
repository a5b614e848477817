# Window tests click, type and wait through QTest.
target_link_libraries(quillor_guitestsupport PUBLIC Qt6::Test)
