// The program with its modules missing, as a copy without its libraries
// would be: this test program names a module folder that holds none. Every
// action that needs a module says once what is missing, and nothing is
// blamed on the applicant's files.

#include "disc/package_check.h"
#include "disc/ui/content_checks.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "platform/executable.h"
#include "platform/program_module.h"
#include "platform/scanner.h"
#include "scan/pdf_pages.h"
#include "support/fake_prompter.h"
#include "twip/ui/error_barrier.h"
#include "twip/ui/qt_printer.h"
#include "util/ui/fonts.h"

#include <gtest/gtest.h>

namespace {

using namespace materials_test;

class MissingModules : public TempFolderTest {
  protected:
    testsupport::ScopedFakePrompter prompter_;
};

TEST_F(MissingModules, EachActionSaysOnceWhatIsMissing) {
    // The package check: the PDFs are not blamed, the missing reader is named once.
    WriteBytes(dir_ / "源" / "一.pdf", "%PDF-1.4 one");
    WriteBytes(dir_ / "源" / "二.pdf", "no PDF at all");
    WriteBytes(dir_ / "TempXml.XML",
               package_test::PackageManifest({{"营业执照",
                                               {{"正本", U8(dir_ / "源" / "一.pdf")},
                                                {"副本", U8(dir_ / "源" / "二.pdf")}}}}));
    ASSERT_TRUE(materials::SavePackage(package_test::Request(dir_ / "TempXml.XML", dir_ / "包", ""))
                    .saved());
    disc::ui::QtContentInspector inspector;
    const disc::PackageCheck check = disc::CheckPackage(U8(dir_ / "包"), &inspector);
    EXPECT_EQ(disc::FindingsText(check),
              "警告：\r\n  本程序的PDF组件（quillor-pdf）缺失，未能检查PDF文件能否打开，"
              "请重新安装本程序");
    EXPECT_TRUE(check.burnable());

    // Scanning: no scanner, and the reason.
    const auto scanner = platform::MakeSaneScanner();
    EXPECT_TRUE(scanner->devices().empty());
    EXPECT_NE(scanner->unavailable().find("扫描组件（quillor-scanner）缺失"), std::string::npos);
    EXPECT_EQ(scanner->scan({}, {}).message, scanner->unavailable());
    EXPECT_EQ(scan::WritePdf({}, U8(dir_ / "扫描.pdf")), "缺少程序的PDF组件 quillor-pdfwrite");

    // Printing to PDF: the files are written, and the applicant is told once
    // that their text cannot be searched.
    for (const char* name : {"一.pdf", "二.pdf"}) {
        const fs::path pdf = dir_ / name;
        {
            twip::ui::QtPrinter printer(QString::fromStdString(U8(pdf)));
            printer.setCurrentX(1440);
            printer.setCurrentY(1440);
            printer.print("行政审批申请书");
            printer.endDoc();
        }
        EXPECT_GT(fs::file_size(pdf), 0u) << name;
    }
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_NE(prompter_->messages[0].text.find("PDF组件（quillor-pdfwrite）缺失"),
              std::string::npos);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A folder without modules, in place of the one above this program.
    platform::SetModuleFolder(platform::ExecutableFolder() / "no-modules");
    // The faces the windows name, as the program has them.
    util::ui::LoadFontAliases(util::ui::FindFontAliasFile(platform::ExecutableFolder()));
    twip::ui::GuardedApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
