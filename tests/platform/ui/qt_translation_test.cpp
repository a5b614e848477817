// Qt's own texts in Chinese, and the program's name on message boxes that
// have no title of their own, as the running program shows them.

#include "platform/ui/qt_translation.h"
#include "twip/ui/qt_prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

// Installs the catalogue for one test and takes it away again, so that the
// other tests of this program see Qt as it comes.
class QtChineseTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QLocale::setDefault(QLocale::c());
    }
};

// What a message box shows: its title and the texts of its buttons. The box
// is answered with its first button as soon as it is up.
struct ShownBox {
    QString title;
    QStringList buttons;
};

ShownBox Show(twip::ui::QtPrompter& prompter, const std::string& title,
              platform::MsgButtons buttons) {
    ShownBox shown;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown.title = box->windowTitle();
        for (QAbstractButton* button : box->buttons())
            shown.buttons << button->text();
        box->buttons().front()->click();
    });
    answer.start();
    prompter.message("内容", title, platform::MsgIcon::Information, buttons);
    return shown;
}

TEST_F(QtChineseTest, QtsOwnTextsAreChineseWhateverTheLocale) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(platform::ui::LoadQtChinese(*qApp));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "取消");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "打开");
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), "打印");
    // Words of the file dialog that the catalogue lacks.
    EXPECT_EQ(
        QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"),
        "文件夹");
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Unknown"), "Unknown");
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    QMessageBox box;
    EXPECT_EQ(box.addButton(QMessageBox::Close)->text(), "关闭");
}

TEST_F(QtChineseTest, AMessageWithoutATitleShowsTheProgramsName) {
    ASSERT_TRUE(platform::ui::LoadQtChinese(*qApp));
    twip::ui::QtPrompter prompter;
    prompter.setDefaultTitle("行政审批电子申报材料制作工具");
    const ShownBox untitled = Show(prompter, "", platform::MsgButtons::OkCancel);
    EXPECT_EQ(untitled.title, "行政审批电子申报材料制作工具");
    EXPECT_EQ(untitled.buttons, (QStringList{"确定", "取消"}));
    EXPECT_EQ(Show(prompter, "提示", platform::MsgButtons::YesNo).title, "提示");
}

} // namespace
