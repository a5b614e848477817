# Combining JPEG pages and a mixed set of pictures into a PDF against img2pdf,
# and a phone photo under the presets (pages_pdf_bench; installs img2pdf when
# missing), and shrinking a lossless 300-dpi colour scan
# (shrink_bench). Run them under TMPDIR on the disk the files go to.
add_executable(pages_pdf_bench ${CMAKE_SOURCE_DIR}/bench/pages_pdf_bench.cpp)
# It reads the pictures as the scan window does (Qt's readers) and makes its
# fax-coded TIFF files with libtiff.
target_link_libraries(pages_pdf_bench PRIVATE quillor_gui PkgConfig::TIFF)
add_executable(shrink_bench ${CMAKE_SOURCE_DIR}/bench/shrink_bench.cpp)
# The bench builds its PDFs with qpdf itself.
target_link_libraries(shrink_bench PRIVATE quillor_core PkgConfig::QPDF)
