# The fontconfig alias file goes beside the program, in fonts/.
configure_file(${CMAKE_SOURCE_DIR}/resources/fonts/quillor-fonts.conf
               ${CMAKE_BINARY_DIR}/fonts/quillor-fonts.conf COPYONLY)
