# Start-up benchmark: quillor-startup-bench runs the two probes below (they lie
# beside the program, where the demo database and the font aliases are).
add_executable(quillor-startup-probe ${CMAKE_SOURCE_DIR}/bench/startup_probe.cpp)
target_link_libraries(quillor-startup-probe PRIVATE quillor_gui)
target_link_options(quillor-startup-probe PRIVATE ${QUILLOR_LOAD_FIRST})

add_executable(quillor-empty-probe ${CMAKE_SOURCE_DIR}/bench/startup_empty_probe.cpp)
target_link_libraries(quillor-empty-probe PRIVATE Qt6::Widgets)

add_executable(quillor-startup-bench ${CMAKE_SOURCE_DIR}/bench/startup_bench.cpp)
target_link_libraries(quillor-startup-bench PRIVATE Qt6::Core)
add_dependencies(quillor-startup-bench quillor-startup-probe quillor-empty-probe quillor-demo-db)

set_target_properties(quillor-startup-probe quillor-empty-probe quillor-startup-bench
                      PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
