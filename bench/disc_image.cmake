# Speed of writing a package's disc image against `xorriso -as mkisofs -J -R`
# of the same folder: build the target disc_image_bench and run it (under
# TMPDIR; keep it on the disk the images go to).
add_executable(disc_image_bench ${CMAKE_SOURCE_DIR}/bench/disc_image_bench.cpp)
target_link_libraries(disc_image_bench PRIVATE quillor_core)
