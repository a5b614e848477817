# Installation and the Debian package (cpack -G DEB in the build folder, see
# scripts/package.sh). Installed layout, which the program recognises at start:
#   <prefix>/bin/quillor, <prefix>/bin/quillor-import-mdb
#   <prefix>/lib/quillor/quillor-*.so             the modules, opened when first needed:
#                                                 pdf (reading PDFs), pdfwrite, disc, scanner,
#                                                 cups (print queues and jobs), heif (HEIC photos),
#                                                 tiff (fax-coded TIFF), ocr (text recognition, Tesseract)
#   <prefix>/share/quillor/系统模板.mdb          the template copied to each user
#   <prefix>/share/quillor/fonts/quillor-fonts.conf
#   <prefix>/share/applications/quillor.desktop, icons/hicolor/scalable/apps/quillor.svg
# An installed program keeps its data per user (~/.local/share/quillor).

set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/startup/command_line.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS QUILLOR_VERSION="${PROJECT_VERSION}")

# Installing (and cpack) takes what the build made: it does not build first, so
# the package test never starts a build while other tests run.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QUILLOR_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
install(TARGETS quillor quillor-import-mdb RUNTIME DESTINATION bin)
get_property(quillor_modules GLOBAL PROPERTY QUILLOR_MODULES)
if(quillor_modules)
  install(TARGETS ${quillor_modules} LIBRARY DESTINATION lib/quillor)
endif()
# The freshly generated demo database, never the copy beside the program in the
# build folder (that one holds the developer's entries).
install(FILES ${QUILLOR_DEMO_DB} DESTINATION share/quillor)
install(FILES ${CMAKE_SOURCE_DIR}/resources/fonts/quillor-fonts.conf DESTINATION share/quillor/fonts)
install(FILES ${QUILLOR_PACKAGING_DIR}/quillor.desktop DESTINATION share/applications)
install(FILES ${QUILLOR_PACKAGING_DIR}/quillor.svg DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "行政审批电子申报材料制作工具")
set(CPACK_PACKAGE_DESCRIPTION
  "填写行政审批申请书和项目基本信息表,为每项申请材料选择扫描文件,保存材料文件夹并打印。
数据(系统模板.mdb 及填写内容)保存在每个用户自己的数据文件夹 ~/.local/share/quillor 中。")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillor <quillor@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries are found by dpkg-shlibdeps (the modules' libheif,
# libtiff, libtesseract and OpenCV's core and imgproc too); libcrypto, opened when the package check first hashes, Qt's
# image format plugins (TIFF and WebP pictures), which Qt loads by itself, and
# the faces the font aliases name have to be declared.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libssl3, qt6-image-formats-plugins, fonts-arphic-uming, fonts-arphic-ukai, fonts-noto-cjk, fonts-wqy-zenhei")
# Text recognition's language data (Chinese, English, page orientation):
# without it the scan window names the package to install.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-chi-sim, tesseract-ocr-eng, tesseract-ocr-osd")
include(CPack)
