# The demo template database: generated from the text sources in data/demo
# and placed beside the program only when no database is there yet, since the
# user's entries live in that file.

add_executable(quillor-makedb ${CMAKE_CURRENT_LIST_DIR}/makedb.cpp)
target_link_libraries(quillor-makedb PRIVATE SQLite::SQLite3 Iconv::Iconv)
set_target_properties(quillor-makedb PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

set(QUILLOR_DEMO_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/demo)
# Run in this order.
set(QUILLOR_DEMO_SQL schema.sql parameters.sql items.sql wordlists.sql fields.sql)
file(GLOB QUILLOR_DEMO_TEMPLATES CONFIGURE_DEPENDS ${QUILLOR_DEMO_SOURCE_DIR}/templates/*)
list(TRANSFORM QUILLOR_DEMO_SQL PREPEND ${QUILLOR_DEMO_SOURCE_DIR}/ OUTPUT_VARIABLE demo_sql_paths)

# The freshly generated database; tests read this one, never the copy beside
# the program.
set(QUILLOR_DEMO_DB ${CMAKE_BINARY_DIR}/demo/系统模板.mdb)

# The generator writes an ASCII-named file (its arguments need not survive a
# non-Unicode command line); CMake gives it the program's file name.
add_custom_command(
  OUTPUT ${QUILLOR_DEMO_DB}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/demo
  COMMAND quillor-makedb ${CMAKE_BINARY_DIR}/demo/generated.sqlite ${QUILLOR_DEMO_SOURCE_DIR}
          ${QUILLOR_DEMO_SQL}
  COMMAND ${CMAKE_COMMAND} -E rename ${CMAKE_BINARY_DIR}/demo/generated.sqlite ${QUILLOR_DEMO_DB}
  DEPENDS quillor-makedb ${demo_sql_paths} ${QUILLOR_DEMO_TEMPLATES}
  COMMENT "Generating the demo template database"
  VERBATIM)

add_custom_target(quillor-demo-db ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${QUILLOR_DEMO_DB}
          -DTARGET=$<TARGET_FILE_DIR:quillor>/系统模板.mdb
          -P ${CMAKE_CURRENT_LIST_DIR}/copy_if_absent.cmake
  DEPENDS ${QUILLOR_DEMO_DB}
  VERBATIM)
