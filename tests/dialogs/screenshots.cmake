# quillor-screenshots: renders every window into build/screenshots (see
# scripts/screenshots.sh).
add_executable(quillor-screenshots ${CMAKE_SOURCE_DIR}/tests/startup/ui/screenshots_main.cpp)
target_link_libraries(quillor-screenshots PRIVATE quillor_gui)
set_target_properties(quillor-screenshots PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
