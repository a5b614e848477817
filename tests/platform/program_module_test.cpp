#include "platform/program_module.h"

#include "platform/executable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <string_view>

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
        {"quillor-cups", "quillor_queue_state", "libcups.so", true},
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

#ifdef __linux__
// The symbols a module file exports (nm -D --defined-only, demangled).
std::set<std::string> Exports(const std::filesystem::path& module) {
    const std::string command = "nm -DC --defined-only '" + module.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::set<std::string> names;
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        if (text.size() > 19) // value (16 hex digits), type, name
            names.insert(text.substr(19));
    }
    return names;
}

// Whether a demangled symbol is one of the program's own (its function, or
// the type information or virtual table of its class).
bool ProgramsOwn(std::string name) {
    for (const char* prefix : {"typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ",
                               "non-virtual thunk to ", "virtual thunk to "})
        if (name.starts_with(prefix))
            name = name.substr(std::string_view(prefix).size());
    for (const char* area :
         {"platform::", "util::", "scan::", "materials::", "disc::", "startup::", "printing::",
          "twip::", "fieldforms::", "dialogs::", "accessimport::", "app::"})
        if (name.starts_with(area))
            return true;
    return false;
}

// A module exports its entry points and nothing of the program's own code it
// is built from; what libraries' headers put there (the C++ library's
// templates, qpdf's classes) is theirs.
TEST(ProgramModule, ModulesExportOnlyTheirEntryPoints) {
    const struct {
        const char* module;
        std::set<std::string> entries;
    } cases[] = {
        {"quillor-pdf",
         {"quillor_pdf_inspect", "quillor_pdf_first_page", "quillor_pdf_hold",
          "quillor_pdf_release", "quillor_pdf_each_page"}},
        {"quillor-pdfwrite",
         {"quillor_write_pdf", "quillor_shrink_pdf", "quillor_rewrite_tounicode_maps",
          "quillor_rewrite_tounicode_cmap", "quillor_estimate_shrink", "quillor_add_text_layers"}},
        {"quillor-disc", {"quillor_open_disc_system"}},
        {"quillor-scanner", {"quillor_make_sane_scanner"}},
        {"quillor-cups", {"quillor_queue_state", "quillor_submit_job", "quillor_job_state"}},
        {"quillor-heif", {"quillor_heif_size", "quillor_heif_decode"}},
        {"quillor-tiff", {"quillor_tiff_fax_strip"}},
        {"quillor-photo",
         {"quillor_photo_clean", "quillor_photo_find", "quillor_photo_skew", "quillor_photo_unskew",
          "quillor_photo_warp"}},
        {"quillor-ocr",
         {"quillor_ocr_open", "quillor_ocr_close", "quillor_ocr_orientation", "quillor_ocr_read"}},
    };
    const std::filesystem::path folder = platform::ExecutableFolder().parent_path();
    for (const auto& c : cases) {
        const std::set<std::string> exports = Exports(folder / (std::string(c.module) + ".so"));
        std::set<std::string> entries;
        for (const std::string& name : exports) {
            if (name.starts_with("quillor_"))
                entries.insert(name);
            EXPECT_FALSE(ProgramsOwn(name)) << c.module << " exports " << name;
        }
        EXPECT_EQ(entries, c.entries) << c.module;
    }
}
#endif

} // namespace
