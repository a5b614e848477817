#include "dialogs/ui/selpath.h"
#include "startup/mainbas.h"

#include "support/fake_prompter.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using dialogs::ui::Drive;
using dialogs::ui::SELPATH;

namespace {

class SelpathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        QDir(temp.path()).mkpath("甲/乙");
        start = QDir::toNativeSeparators(QDir(temp.path()).filePath("甲"));
        PickedFolder = start.toStdString();
        PickerMode = 2;
    }
    std::vector<Drive> drives() const { return {{"/", ""}, {temp.path() + "/无介质", "光盘"}}; }
    QTemporaryDir temp;
    QString start;
};

TEST_F(SelpathTest, StartsAtThePickedFolder) {
    SELPATH picker(nullptr, [this] { return drives(); });
    EXPECT_EQ(picker.caption(), "指定数据目录");
    EXPECT_EQ(picker.Dir1().path(), start);
    EXPECT_EQ(picker.Label1().text(), start);
    EXPECT_EQ(picker.Drive1().currentIndex(), 0);
}

TEST_F(SelpathTest, ConfirmingUnchangedReturnsTheStartFolder) {
    SELPATH picker(nullptr, [this] { return drives(); });
    picker.Command1_Click(0);
    EXPECT_EQ(PickerMode, 0);
    EXPECT_EQ(QString::fromStdString(PickedFolder), start);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
}

TEST_F(SelpathTest, CancellingAfterBrowsingChangesNothing) {
    SELPATH picker(nullptr, [this] { return drives(); });
    ASSERT_TRUE(picker.Dir1().setPath(start + "/乙"));
    EXPECT_EQ(picker.Label1().text(), start + "/乙"); // Dir1_Change
    picker.Command1_Click(1);
    EXPECT_EQ(PickerMode, 2);
    EXPECT_EQ(QString::fromStdString(PickedFolder), start);
}

TEST_F(SelpathTest, OpeningAFolderFromTheListShowsItsPath) {
    SELPATH picker(nullptr, [this] { return drives(); });
    auto items = picker.Dir1().findItems("乙", Qt::MatchEndsWith);
    ASSERT_EQ(items.size(), 1);
    emit picker.Dir1().itemActivated(items.front());
    EXPECT_EQ(picker.Dir1().path(), start + "/乙");
    EXPECT_EQ(picker.Label1().text(), start + "/乙");
}

TEST_F(SelpathTest, ATypedPathIsReturnedUntested) {
    SELPATH picker(nullptr, [this] { return drives(); });
    picker.Label1().setText("/没有/这个/目录");
    picker.Command1_Click(0);
    EXPECT_EQ(PickerMode, 0);
    EXPECT_EQ(PickedFolder, "/没有/这个/目录");
}

TEST_F(SelpathTest, AnUnreadableDriveIsReportedAndTheFolderKept) {
    testsupport::ScopedFakePrompter prompter;
    SELPATH picker(nullptr, [this] { return drives(); });
    picker.Drive1().setCurrentIndex(1);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "驱动器选择错误...");
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(picker.Dir1().path(), start);
    EXPECT_EQ(picker.Label1().text(), start);
    EXPECT_EQ(picker.Drive1().currentIndex(), 0);
}

TEST_F(SelpathTest, AFolderThatCannotBeOpenedIsReportedAndTheFolderKept) {
    testsupport::ScopedFakePrompter prompter;
    SELPATH picker(nullptr, [this] { return drives(); });
    auto items = picker.Dir1().findItems("乙", Qt::MatchEndsWith);
    ASSERT_EQ(items.size(), 1);
    ASSERT_TRUE(QDir(start).rmdir("乙")); // gone since it was listed
    emit picker.Dir1().itemActivated(items.front());
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "驱动器选择错误...");
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(picker.Dir1().path(), start);
    EXPECT_EQ(picker.Label1().text(), start);
}

TEST_F(SelpathTest, AMissingStartFolderFallsBackToTheDefault) {
    PickedFolder = "/没有/这个/目录";
    SELPATH picker(nullptr, [this] { return drives(); });
    EXPECT_EQ(picker.Dir1().path(), QDir::toNativeSeparators(QDir::currentPath()));
}

TEST_F(SelpathTest, CallerProtocolGoesThroughThePrompter) {
    testsupport::ScopedFakePrompter prompter;
    prompter->folderAnswers.push_back(std::nullopt);
    EXPECT_FALSE(dialogs::ui::PickFolder());
    EXPECT_EQ(PickerMode, 2);
    EXPECT_EQ(QString::fromStdString(PickedFolder), start);
    prompter->folderAnswers.push_back("/新/目录");
    EXPECT_TRUE(dialogs::ui::PickFolder());
    EXPECT_EQ(PickerMode, 0);
    EXPECT_EQ(PickedFolder, "/新/目录");
}

TEST(ListDrives, StartWithTheRootOrTheFirstDriveLetter) {
    const std::vector<Drive> drives = dialogs::ui::ListDrives();
    ASSERT_FALSE(drives.empty());
#ifdef Q_OS_WIN
    EXPECT_TRUE(drives.front().root.endsWith(":/"));
#else
    EXPECT_EQ(drives.front().root, "/");
#endif
    for (const Drive& drive : drives)
        EXPECT_TRUE(QFileInfo(drive.root).isDir()) << drive.root.toStdString();
}

TEST(DriveOf, PicksTheLongestMatchingRoot) {
    const std::vector<Drive> drives{{"/", ""}, {"/media/usb", ""}, {"/media/usb2", ""}};
    EXPECT_EQ(dialogs::ui::DriveOf(drives, "/home/a"), 0);
    EXPECT_EQ(dialogs::ui::DriveOf(drives, "/media/usb"), 1);
    EXPECT_EQ(dialogs::ui::DriveOf(drives, "/media/usb/x"), 1);
    EXPECT_EQ(dialogs::ui::DriveOf(drives, "/media/usb2/x"), 2);
}

} // namespace
