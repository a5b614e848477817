# A package of 1,000 linked files, 1 GB in 20 materials: the save against
# `cp -r` + `sync`, the package check against `sha256sum` of the same files,
# and the peak memory of each. Build the target package_scale_bench and run it
# (the data goes under TMPDIR and is removed afterwards; about 3 GB at a time).
add_executable(package_scale_bench ${CMAKE_SOURCE_DIR}/bench/package_scale_bench.cpp)
target_link_libraries(package_scale_bench PRIVATE quillor_gui)
