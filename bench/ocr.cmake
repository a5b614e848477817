# Text recognition of drawn official-document pages against ocrmypdf
# (ocr_bench; bench/ocr_bench.sh installs ocrmypdf and runs it).
add_executable(ocr_bench ${CMAKE_SOURCE_DIR}/bench/ocr_bench.cpp)
target_link_libraries(ocr_bench PRIVATE quillor_gui)
# It measures recognised text as the recognition tests do (their fixture).
target_include_directories(ocr_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
