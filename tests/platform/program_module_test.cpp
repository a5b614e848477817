#include "platform/program_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

#ifdef __linux__
// Whether a library whose file name starts with `name` is mapped into this process.
bool Loaded(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/" + name) != std::string::npos)
            return true;
    return false;
}
#endif

// The libraries of a module come with it, not with the program; a missing
// module or symbol is a null function, not a failure to start.
TEST(ProgramModule, OpensAModuleAndItsLibrariesOnlyWhenAskedFor) {
    const struct {
        const char* module;
        const char* symbol;
        const char* library; // brought in by the module
        bool found;
    } cases[] = {
        {"quillor-pdfwrite", "quillor_write_pdf", "libqpdf.so", true},
        {"quillor-disc", "quillor_open_disc_system", "libburn.so", true},
        {"quillor-scanner", "quillor_make_sane_scanner", "libsane.so", true},
        {"quillor-heif", "quillor_heif_decode", "libheif.so", true},
        {"quillor-tiff", "quillor_tiff_fax_strip", "libtiff.so", true},
        {"quillor-photo", "quillor_photo_find", "libopencv_imgproc.so", true},
        {"quillor-pdfwrite", "quillor_no_such_function", "libqpdf.so", false},
        {"quillor-no-such-module", "quillor_write_pdf", "quillor-no-such-module", false},
    };
    for (const auto& c : cases) {
#ifdef __linux__
        if (c.found) {
            EXPECT_FALSE(Loaded(c.library)) << c.library << " loaded before " << c.module;
        }
#endif
        EXPECT_EQ(platform::ModuleSymbol(c.module, c.symbol) != nullptr, c.found) << c.symbol;
#ifdef __linux__
        if (c.found) {
            EXPECT_TRUE(Loaded(c.library)) << c.library;
        }
#endif
    }
}

} // namespace
