#include "dialogs/ui/selpath.h"

#include "platform/prompter.h"
// Upward on purpose: the picker's protocol is the two start-up globals
// PickedFolder and PickerMode, which the picker's own procedures read and set.
#include "startup/mainbas.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

namespace dialogs::ui {

using twip::ui::Control;
using twip::ui::ControlKind;

SELPATH::SELPATH(QWidget* parent, const DriveSource& drives) : TwipForm(parent), drives_(drives()) {
    setObjectName(QStringLiteral("SELPATH"));
    setCaption(QStringLiteral("指定数据目录"));
    setClientSize(3930, 4545);
    add(ControlKind::TextBox, QStringLiteral("Label1"), {120, 120, 3675, 315});
    adopt(new FolderList, QStringLiteral("Dir1"), {120, 480, 3675, 3030});
    Control& drive = add(ControlKind::ComboBox, QStringLiteral("Drive1"), {120, 3570, 3675, 300});
    for (const Drive& d : drives_) {
        const QString shown = QDir::toNativeSeparators(d.root);
        drive.as<QComboBox>()->addItem(d.label.isEmpty() ? shown : shown + " [" + d.label + "]",
                                       d.root);
    }
    add(ControlKind::CommandButton, QStringLiteral("Command1"), {540, 4050, 950, 295}, nullptr, 0)
        .setText(QStringLiteral("确 认"));
    add(ControlKind::CommandButton, QStringLiteral("Command1"), {2460, 4050, 950, 295}, nullptr, 1)
        .setText(QStringLiteral("退 出"));

    connect(&Dir1(), &FolderList::pathChanged, this, &SELPATH::Dir1_Change);
    connect(&Dir1(), &FolderList::openFailed, this,
            [] { platform::Notify("驱动器选择错误...", "错误", platform::MsgIcon::Exclamation); });
    connect(&Drive1(), &QComboBox::currentIndexChanged, this, &SELPATH::Drive1_Change);
    for (int i : {0, 1})
        control(QStringLiteral("Command1"), i).setOnClick([this, i] { Command1_Click(i); });
    setEscapeAction([this] { Command1_Click(1); }); // Esc leaves as "退 出" does
    Form_Load();
}

void SELPATH::Form_Load() {
    initDone = false;
    centreOnScreen();
    Dir1().setPath(QString::fromStdString(PickedFolder));
    selectDriveOf(Dir1().path());
    initDone = true;
    Label1().setText(Dir1().path());
}

void SELPATH::selectDriveOf(const QString& path) {
    const bool wasDone = std::exchange(initDone, false);
    Drive1().setCurrentIndex(DriveOf(drives_, path));
    initDone = wasDone;
}

void SELPATH::Drive1_Change() {
    if (!initDone)
        return;
    const QString root = Drive1().currentData().toString();
    if (root.isEmpty() || !Dir1().setPath(root)) {
        platform::Notify("驱动器选择错误...", "错误", platform::MsgIcon::Exclamation);
        selectDriveOf(Dir1().path()); // the list still shows the previous folder
    }
}

void SELPATH::Dir1_Change() {
    Label1().setText(Dir1().path());
}

void SELPATH::Command1_Click(int index) {
    if (index == 0) {
        PickedFolder = Label1().text().toStdString();
        PickerMode = 0;
        accept();
        return;
    }
    reject();
}

std::optional<std::string> RunFolderPicker(QWidget* parent, const std::string& initialDir) {
    const std::string before = PickedFolder;
    PickedFolder = initialDir;
    PickerMode = 2;
    SELPATH picker(parent);
    picker.exec();
    if (PickerMode == 0)
        return PickedFolder;
    PickedFolder = before;
    return std::nullopt;
}

bool PickFolder() {
    PickerMode = 2;
    const std::optional<std::string> chosen =
        platform::CurrentPrompter().pickFolder("指定数据目录", PickedFolder);
    if (!chosen)
        return false;
    PickedFolder = *chosen;
    PickerMode = 0;
    return true;
}

} // namespace dialogs::ui
