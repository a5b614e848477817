#pragma once
// FrmFjgl, the materials window: the materials of the selected application
// item (grid MedFlex1), the file entries of the selected material (MedFlex2),
// the requirements text, the storage folder and the package size against its
// limit. Linking a file, clearing a link, adding, deleting and retitling
// entries change the working copy of the manifest at once.
//
// The window's code is in three files: FrmFjgl.cpp (opening, the grids, the
// buttons, scanning and shrinking), materials_window_controls.cpp (the
// controls) and materials_window_entries.cpp (linking and editing entries).

#include "materials/manifest.h"
#include "materials/ui/flexgrid.h"
#include "materials/ui/window_parts.h"
#include "twip/ui/twipform.h"

#include <QColor>

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace materials::ui {

class FrmFjgl final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    explicit FrmFjgl(WindowParts parts = {}, QWidget* parent = nullptr);
    ~FrmFjgl() override;

    // Opening, activation and closing.
    void Form_Load();
    void Form_Activate();
    void Form_Unload();

    void InitGrids();
    void ReadWjlb(const std::string& fjid, const std::string& path);
    void addBackColor();

    void MedFlex1_Click();
    void MedFlex2_Click();
    void MedFlex2_DblClick();
    void MedFlex2_EnterCell();
    void MedFlex2_KeyPress(int keyAscii);
    void Text1_KeyPress(int keyAscii);
    void Text1_LostFocus();

    void CmdSave_Click(int index);
    void browseBut_Click();
    // "保存": checks both forms and writes the package into the shown folder.
    void SaveSubmission();
    void Command1_Click();
    void Label2_Click();
    void Label3_Click(int index);

    void selectWjlbFile();
    // Links `path` to the current entry as a file chosen with ">>>" is linked.
    // A file chosen with ">>>" shows its size when the material is listed
    // again; the PDF of "完成" and the copy of "接受" show it at once
    // (`showSize`), since the entry's old size would tell the wrong story.
    void linkFile(const std::string& path, bool showSize = false);
    // "扫描..." and "压缩..." (src/scan/ui) for the current entry.
    void CmdScan_Click();
    void CmdShrink_Click();
    // The current entry's linked file when "压缩..." takes it; "" otherwise.
    std::string shrinkableFile() const;
    // After a save over the size limit: offers "压缩..." for the linked files
    // that would gain most (offer_shrink.cpp).
    void offerShrink();
    void CmdRemoveFJ_Click();
    void addBut_Click();
    void delBut_Click();
    // "检查并刻录": the package check and the disc of the shown folder.
    void CmdDisc_Click();
    void updateDiscButton();

    FlexGrid& MedFlex1() const { return *control(QStringLiteral("MedFlex1")).as<FlexGrid>(); }
    FlexGrid& MedFlex2() const { return *control(QStringLiteral("MedFlex2")).as<FlexGrid>(); }
    twip::ui::Control& tips() const { return control(QStringLiteral("tips")); }
    twip::ui::Control& Text1() const { return control(QStringLiteral("Text1")); }
    twip::ui::Control& Text2(int i) const { return control(QStringLiteral("Text2"), i); }
    twip::ui::Control& Label2() const { return control(QStringLiteral("Label2")); }
    twip::ui::Control& Label3(int i) const { return control(QStringLiteral("Label3"), i); }
    twip::ui::Control& MsgPic() const { return control(QStringLiteral("MsgPic")); }
    twip::ui::Control& CmdSave(int i) const { return control(QStringLiteral("CmdSave"), i); }
    twip::ui::Control& Command1() const { return control(QStringLiteral("Command1")); }
    twip::ui::Control& addBut() const { return control(QStringLiteral("addBut")); }
    twip::ui::Control& delBut() const { return control(QStringLiteral("delBut")); }
    twip::ui::Control& CmdRemoveFJ() const { return control(QStringLiteral("CmdRemoveFJ")); }
    twip::ui::Control& browseBut() const { return control(QStringLiteral("browseBut")); }
    twip::ui::Control& CmdDisc() const { return control(QStringLiteral("CmdDisc")); }
    twip::ui::Control& CmdScan() const { return control(QStringLiteral("CmdScan")); }
    twip::ui::Control& CmdShrink() const { return control(QStringLiteral("CmdShrink")); }

    // Where the ">>>" file dialog opens: the folder of the last file linked,
    // kept in `folder` (empty: none yet, the program folder). The window keeps
    // its own unless given one that outlives it.
    void setLinkFolderMemory(std::string* folder) {
        linkFolder_ = folder ? folder : &ownLinkFolder_;
    }
    const std::string& linkFolder() const { return *linkFolder_; }

    bool oldManifest() const { return OldManifest != 0; }
    int editRow() const { return EditRow; }

    static const QColor HasFilesColor; // RGB(204,204,255): materials with files at load
    static const QColor LinkedColor;   // RGB(234,234,255): a file linked while open

  protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void createMaterialFrame();
    void createFileFrame();
    void createTipsFrame();
    void createStorageAndSize();
    void createHintPanel();
    void createInstructions();
    void createButtons();

    void loadWorkingCopy();
    // InitGrids, the material list (ReadFjlb), addBackColor and the size column,
    // from one reading of the manifest; returns that reading for the selection.
    std::optional<OpeningView> showMaterials(const std::string& path);
    void showFolder(const std::string& folder);
    void selectFirstMaterial(const std::optional<OpeningView>& view);
    void fillFileGrid(const std::optional<std::vector<FileRow>>& rows);
    void showSelectedMaterial(const std::string& tipsText);
    void showTotal();
    void refreshMaterial();
    void clearShadingIfEmpty();
    void selectMaterialRow();
    void commitTitle();
    void hideMsgPic();
    void openPackage();
    void markSaved(); // the working copy's links are those of the package now
    // Whether links, titles or entries changed since markSaved.
    bool linksChanged() const;
    std::string currentKey() const;
    bool hasCurrentMaterial() const;
    bool isOtherMaterials() const;
    bool checkEntryChosen() const;
    void enableEntryButtons();
    void updateScanButtons();

    std::int16_t OldManifest = 0;
    int EditRow = -1;
    bool editing_ = false;
    bool saving_ = false;   // a save runs: nothing in the window acts
    std::string savedCopy_; // the working copy's bytes as last saved or opened
    bool unloaded_ = false;
    bool activatedOnce_ = false;
    std::string ownLinkFolder_;
    std::string* linkFolder_ = &ownLinkFolder_;
    WindowParts parts_;
};

// Shows the materials window of the selected item (SelectedItem) modally;
// `linkFolder` keeps the folder of the last linked file from one opening to
// the next; `parts` are the windows it opens beyond itself.
void ShowMaterialsWindow(QWidget* parent, std::string* linkFolder, const WindowParts& parts);

} // namespace materials::ui
