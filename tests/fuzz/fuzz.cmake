# Fuzz entry points (tests/fuzz/<name>_fuzz.cpp) and their seed corpora
# (tests/fuzz/corpus/<name>/).
#
# With -DQUILLOR_FUZZ=ON (clang; see scripts/fuzz.sh) each entry point becomes
# a libFuzzer program fuzz_<name>. In every other build each becomes a replay
# program fuzz_<name>_replay that feeds every file of its corpus to the entry
# point, run by ctest as the test fuzz_<name>: an input that once crashed stays
# in the corpus and keeps being checked.
set(FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(quillor_fuzz_entry name)
  set(sources ${FUZZ_DIR}/${name}_fuzz.cpp ${ARGN})
  if(QUILLOR_FUZZ)
    set(target fuzz_${name})
    add_executable(${target} ${sources})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  else()
    set(target fuzz_${name}_replay)
    add_executable(${target} ${sources} ${FUZZ_DIR}/replay_main.cpp)
    add_test(NAME fuzz_${name} COMMAND ${target} ${FUZZ_DIR}/corpus/${name})
    set_tests_properties(fuzz_${name} PROPERTIES ENVIRONMENT "${TEST_ENV}" TIMEOUT 300)
  endif()
  target_include_directories(${target} PRIVATE ${FUZZ_DIR}/..)
  set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  set(QUILLOR_FUZZ_TARGET ${target} PARENT_SCOPE)
endfunction()

quillor_fuzz_entry(manifest)
target_link_libraries(${QUILLOR_FUZZ_TARGET} PRIVATE quillor_core)

quillor_fuzz_entry(template_db)
target_link_libraries(${QUILLOR_FUZZ_TARGET} PRIVATE quillor_core)
# Inputs that start with "SQL:" are applied to a valid database of this schema.
target_compile_definitions(${QUILLOR_FUZZ_TARGET} PRIVATE
  QUILLOR_SCHEMA_SQL="${CMAKE_SOURCE_DIR}/data/demo/schema.sql")

quillor_fuzz_entry(package_save)
target_link_libraries(${QUILLOR_FUZZ_TARGET} PRIVATE quillor_core)

quillor_fuzz_entry(package_repair)
target_link_libraries(${QUILLOR_FUZZ_TARGET} PRIVATE quillor_core)

if(TARGET quillor-import-mdb)
  quillor_fuzz_entry(jet_import ${CMAKE_SOURCE_DIR}/src/accessimport/ui/jet_runner.cpp)
  target_link_libraries(${QUILLOR_FUZZ_TARGET} PRIVATE quillor_core Qt6::Core SQLite::SQLite3)
  target_compile_definitions(${QUILLOR_FUZZ_TARGET} PRIVATE
    QUILLOR_IMPORT_MDB_PATH="$<TARGET_FILE:quillor-import-mdb>")
  add_dependencies(${QUILLOR_FUZZ_TARGET} quillor-import-mdb)
endif()
