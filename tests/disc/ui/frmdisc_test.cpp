// The window "检查并刻录光盘": the check of a saved package as the user sees
// it, the image file and the pseudo-drive burn from its buttons, cancelling
// from its "取 消", and no drive at all.

#include "disc/ui/FrmDisc.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "support/fake_prompter.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace materials_test;
using disc::ui::FrmDisc;

namespace {

// A real one-page PDF and a real PNG picture.
std::string PdfBytes() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("营业执照"));
    }
    return bytes.toStdString();
}

std::string PngBytes() {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class FrmDiscTest : public TempFolderTest {
  protected:
    // A package saved into dir_/包 from a PDF (given content) and a picture.
    std::string SavePackage(const std::string& pdf) {
        WriteBytes(dir_ / "源" / "执照.pdf", pdf);
        WriteBytes(dir_ / "源" / "照片.png", PngBytes());
        const std::string work = writeManifest(package_test::PackageManifest(
            {{"营业执照", {{"营业执照(副本)", U8(dir_ / "源" / "执照.pdf")}}},
             {"其他材料", {{"现场照片", U8(dir_ / "源" / "照片.png")}}}}));
        EXPECT_TRUE(materials::SavePackage(package_test::Request(work, dir_ / "包", "")).saved());
        return U8(dir_ / "包");
    }

    std::unique_ptr<FrmDisc> Open(const std::string& folder,
                                  std::vector<disc::DriveInfo> drives = {}) {
        auto window =
            std::make_unique<FrmDisc>(folder, "甲级资质新申请（测试）", disc::OpenDiscSystem());
        window->Form_Load();
        window->useDrives(std::move(drives));
        return window;
    }

    std::string LastMessage() {
        return prompter_->messages.empty() ? "<none>" : prompter_->messages.back().text;
    }

    testsupport::ScopedFakePrompter prompter_;
};

TEST_F(FrmDiscTest, ACleanPackageWithoutADriveOffersTheImageFile) {
    const std::string folder = SavePackage(PdfBytes());
    auto w = Open(folder);
    EXPECT_EQ(w->caption(), QStringLiteral("检查并刻录光盘"));
    EXPECT_EQ(w->LabResult().text(), QStringLiteral("检查通过，没有发现问题，可以刻录。"));
    EXPECT_EQ(w->TxtFindings().text(), QStringLiteral("未发现问题。"));
    EXPECT_EQ(w->LabVolume().text(), QStringLiteral("甲级资质新申请（测试"));
    EXPECT_TRUE(w->LabMedium().text().startsWith(QStringLiteral("未找到刻录机")));
    EXPECT_TRUE(w->Command1(1).enabled());
    EXPECT_FALSE(w->Command1(2).enabled()); // no drive: no burning
    EXPECT_FALSE(w->Command1(3).enabled()); // nothing to cancel

    // Inside the package folder the image would become part of it.
    prompter_->saveAnswers.push_back(folder + "/光盘.iso");
    QTest::mouseClick(w->Command1(1).widget(), Qt::LeftButton);
    EXPECT_EQ(LastMessage(), "映像文件不能保存在申报资料目录中，请另选位置。");
    EXPECT_FALSE(fs::exists(dir_ / "包" / "光盘.iso"));

    const std::string image = U8(dir_ / "光盘.iso");
    prompter_->saveAnswers.push_back(image);
    QTest::mouseClick(w->Command1(1).widget(), Qt::LeftButton);
    ASSERT_FALSE(prompter_->saveRequests.empty());
    EXPECT_EQ(prompter_->saveRequests.back().proposedName, "甲级资质新申请（测试.iso");
    EXPECT_EQ(LastMessage().rfind("光盘映像文件已生成，读回校验无误", 0), 0u) << LastMessage();
    EXPECT_EQ(prompter_->messages.back().title, "提示");
    EXPECT_TRUE(fs::exists(image));
    EXPECT_EQ(w->ProgressBar1().value(), w->ProgressBar1().maximum());
    EXPECT_FALSE(w->busy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FrmDiscTest, ErrorsAreListedAndKeepThePackageOffTheDisc) {
    const std::string folder = SavePackage("not a pdf at all");
    WriteBytes(dir_ / "包" / "其他材料" / "Thumbs.db", "cache");
    auto w = Open(folder, {{"stdio:" + U8(dir_ / "盘.iso"), "测试刻录机"}});
    EXPECT_TRUE(w->LabResult().text().startsWith(QStringLiteral("检查发现1个错误、1个警告")));
    EXPECT_EQ(w->TxtFindings().text(),
              QStringLiteral("错误：\r\n  【营业执照】营业执照(副本)（营业执照(副本).pdf）："
                             "PDF文件无法打开（文件已损坏或不是PDF文件）\r\n"
                             "警告：\r\n  【其他材料】Thumbs.db：不在APLPKG.XML中，不刻入光盘"));
    EXPECT_FALSE(w->Command1(1).enabled());
    EXPECT_FALSE(w->Command1(2).enabled());

    // Mended in the folder: "重新检查" lets it onto a disc.
    WriteBytes(dir_ / "包" / "营业执照" / "营业执照(副本).pdf", PdfBytes());
    QTest::mouseClick(w->Command1(0).widget(), Qt::LeftButton);
    EXPECT_TRUE(w->Command1(1).enabled());
    EXPECT_TRUE(w->Command1(2).enabled());
    EXPECT_EQ(w->lastCheck().count(disc::FindingLevel::Warning), 1);
}

TEST_F(FrmDiscTest, BurnsToThePseudoDriveAndRefusesAWrittenMedium) {
    const std::string folder = SavePackage(PdfBytes());
    const fs::path medium = dir_ / "盘.iso";
    auto w = Open(folder, {{"stdio:" + U8(medium), "测试刻录机"}});
    EXPECT_EQ(w->CboDrive().listItem(0), QStringLiteral("测试刻录机"));
    ASSERT_TRUE(w->Command1(2).enabled());
    QTest::mouseClick(w->Command1(2).widget(), Qt::LeftButton);
    EXPECT_EQ(LastMessage().rfind("刻录完成，读回校验无误", 0), 0u) << LastMessage();
    EXPECT_TRUE(fs::exists(medium));

    QTest::mouseClick(w->Command1(2).widget(), Qt::LeftButton);
    EXPECT_EQ(LastMessage(), "光盘不是空白盘（已有数据），请换一张空白光盘。");
}

// "取 消" pressed while the image is written: the events handled between
// chunks reach the button, and nothing is left under the chosen name.
TEST_F(FrmDiscTest, CancelStopsTheImageAndClosingWaitsForIt) {
    WriteBytes(dir_ / "源" / "大文件.bin", std::string(std::size_t{24} << 20, 'b'));
    WriteBytes(dir_ / "源" / "执照.pdf", PdfBytes());
    const std::string work = writeManifest(package_test::PackageManifest(
        {{"营业执照", {{"营业执照(副本)", U8(dir_ / "源" / "执照.pdf")}}},
         {"其他材料", {{"录像", U8(dir_ / "源" / "大文件.bin")}}}}));
    ASSERT_TRUE(materials::SavePackage(package_test::Request(work, dir_ / "包", "")).saved());
    auto w = Open(U8(dir_ / "包"));
    const std::string image = U8(dir_ / "取消.iso");
    prompter_->saveAnswers.push_back(image);
    bool closedWhileBusy = false;
    QTimer::singleShot(0, w.get(), [&] {
        closedWhileBusy = w->busy();
        w->reject(); // closing asks the run to stop and waits for it
        QTest::mouseClick(w->Command1(3).widget(), Qt::LeftButton);
    });
    w->show();
    QTest::mouseClick(w->Command1(1).widget(), Qt::LeftButton);
    EXPECT_TRUE(closedWhileBusy);
    EXPECT_EQ(LastMessage(), "已取消，映像文件未生成。");
    EXPECT_FALSE(fs::exists(image));
    EXPECT_FALSE(fs::exists(image + ".part~"));
    EXPECT_TRUE(w->isVisible()); // the close waited for the run
    EXPECT_TRUE(w->Command1(1).enabled());
}

} // namespace
