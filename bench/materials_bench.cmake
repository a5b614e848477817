# Speed of the materials window against one plain libxml2 load + save of the
# same manifest: build the target materials_bench and run it (offscreen).
add_executable(materials_bench ${CMAKE_SOURCE_DIR}/bench/materials_bench.cpp)
target_link_libraries(materials_bench PRIVATE quillor_gui LibXml2::LibXml2 SQLite::SQLite3)
target_compile_definitions(materials_bench PRIVATE
  QUILLOR_SCHEMA_SQL="${CMAKE_SOURCE_DIR}/data/demo/schema.sql")
