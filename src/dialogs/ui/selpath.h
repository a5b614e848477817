#pragma once
// SELPATH: the folder picker. The caller sets PickedFolder to the folder to
// show first and PickerMode to 2; after the window closes, PickerMode 0 means
// the user confirmed and PickedFolder holds the text of the path line.

#include "dialogs/ui/folder_list.h"
#include "twip/ui/twipform.h"

#include <QComboBox>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dialogs::ui {

class SELPATH final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    using DriveSource = std::function<std::vector<Drive>()>;
    explicit SELPATH(QWidget* parent = nullptr, const DriveSource& drives = ListDrives);

    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click(int index);

    twip::ui::Control& Label1() const { return control(QStringLiteral("Label1")); }
    FolderList& Dir1() const { return *control(QStringLiteral("Dir1")).as<FolderList>(); }
    QComboBox& Drive1() const { return *control(QStringLiteral("Drive1")).as<QComboBox>(); }

  private:
    void selectDriveOf(const QString& path);

    std::vector<Drive> drives_;
    bool initDone = false;
};

// Shows the picker modally at `initialDir`; the confirmed path text, or
// nothing when the user left without confirming. This is what the program's
// prompter runs for a folder request.
std::optional<std::string> RunFolderPicker(QWidget* parent, const std::string& initialDir);

// The caller's side of the protocol: PickerMode 2, the picker at PickedFolder
// (through the prompter, so tests can answer it), then PickerMode 0 and the
// chosen PickedFolder when the user confirmed. True when confirmed.
bool PickFolder();

} // namespace dialogs::ui
