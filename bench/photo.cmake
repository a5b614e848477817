# Phone photos made into flat pages (photo_bench): 40 photos made by the
# bench from a fixed seed, the pages found, corrected and cleaned.
add_executable(photo_bench ${CMAKE_SOURCE_DIR}/bench/photo_bench.cpp)
target_include_directories(photo_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(photo_bench PRIVATE quillor_core)
