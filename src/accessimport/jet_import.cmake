# The Access/Jet importer program lives in its own folder.
include(${CMAKE_CURRENT_LIST_DIR}/jet/import_mdb.cmake)
