#pragma once
// FrmMain: the main window. One button per application item (at most nine),
// a pop-up menu of sub-items, the help link and the exit button. A choice is
// handed to the materials window through SelectedItem, SubItemName and
// ReloadPending.

#include "dialogs/ui/frmnote.h"
#include "twip/ui/twipform.h"

#include <QPointer>

#include <array>
#include <functional>
#include <string>

class QAction;
class QMenu;

namespace startup::ui {

inline constexpr int kItemButtons = 9;
inline constexpr int kSubMenuEntries = 8;

class FrmMain final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    // Shows the materials window modally over the main window (nothing when empty).
    using MaterialsOpener = std::function<void(QWidget* parent)>;
    // Shows the sub-item menu at a screen position; the chosen entry or null.
    using MenuPopup = std::function<QAction*(QMenu& menu, const QPoint& at)>;

    explicit FrmMain(MaterialsOpener openMaterials = {}, QWidget* parent = nullptr);
    ~FrmMain() override;

    void setMenuPopup(MenuPopup popup) { popup_ = std::move(popup); }

    void Form_Load();
    void Form_Paint(QPainter& painter);
    void Picture1_Paint(int index, QPainter& painter);
    void Command1_Click(int index);
    void MENU_SUB_Click(int index);
    void Label4_Click();
    void Command2_Click();
    void Form_Unload();

    QMenu& SUB_MENU() const { return *subMenu_; }
    QAction& MENU_SUB(int index) const { return *menuSub_.at(static_cast<std::size_t>(index)); }
    dialogs::ui::FrmNote* helpWindow() const { return help_; }

  signals:
    // The window has unloaded: the program ends.
    void unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void createMenu();
    QPoint menuPosition(const twip::ui::Control& button) const;

    MaterialsOpener openMaterials_;
    MenuPopup popup_;
    QMenu* subMenu_ = nullptr;
    std::array<QAction*, kSubMenuEntries> menuSub_{};
    QPointer<dialogs::ui::FrmNote> help_;
    bool unloaded_ = false;
};

// The instruction text as designed, with the 【名称】 marker.
QString InstructionTemplate();
// The program's name: the main window's caption, and the title of message
// boxes that have none of their own.
QString ProductTitle();

} // namespace startup::ui
