# Speed of "保存" against cp -r: save_bench writes a package of 100 linked
# files (200 MB) and copies the same files with cp -r, five times each in the
# same run (under TMPDIR; keep it on the disk the packages go to).
add_executable(save_bench ${CMAKE_SOURCE_DIR}/bench/save_bench.cpp)
target_link_libraries(save_bench PRIVATE quillor_core)
