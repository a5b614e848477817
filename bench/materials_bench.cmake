# Speed of the materials window against one plain libxml2 load + save of the
# same manifest: build with the target materials_bench and run it.
add_executable(materials_bench ${CMAKE_SOURCE_DIR}/bench/materials_bench.cpp)
target_link_libraries(materials_bench PRIVATE quillor_core LibXml2::LibXml2)
