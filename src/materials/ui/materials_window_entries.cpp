// The entries of the materials window: linking a file to an entry, clearing
// the link, adding, deleting and retitling entries of 其他材料. Each change
// goes into the working copy of the manifest at once.

#include "materials/ui/FrmFjgl.h"
#include "materials/ui/materials_window_grid.h"

#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"
#include "util/convert.h"

#include <QLineEdit>

#include <algorithm>
#include <optional>
#include <string>

namespace materials::ui {
namespace {

using twip::ui::Control;

using platform::ui::Q;
using platform::ui::S;

constexpr int kEditorLeftInset = 50, kEditorTopInset = 60;
constexpr int kEditorWidthLoss = 60, kEditorHeightLoss = 70;

const char* const kNoEntries = "电子报件列表中没有报件。";
const char* const kChooseEntry = "请先在电子报件列表中选择报件。";
const char* const kFileFilter =
    "申报材料(*.doc,*.xls,*.jpeg,*.pdf)|*.doc;*.xls;*.jpg;*.jpeg;*.pdf|所有文件(*.*)|*.*";

} // namespace

// Count, size and total of the current material after a change of its entries.
void FrmFjgl::refreshMaterial() {
    FlexGrid& grid = MedFlex1();
    const int row = grid.row();
    const std::string key = currentKey();
    grid.setTextMatrix(row, kDzjs, QString::number(readAndsaveFilecount(key, WorkManifestPath)));
    grid.setTextMatrix(row, kFjKb, Q(getFjKb(key, WorkManifestPath, StorageFolder)));
    showTotal();
}

void FrmFjgl::clearShadingIfEmpty() {
    FlexGrid& grid = MedFlex1();
    if (grid.textMatrix(grid.row(), kDzjs) != QStringLiteral("0"))
        return;
    for (int c = kFjmc; c <= kFjKb; ++c)
        grid.setCellBackColor(grid.row(), c, QColor());
}

void FrmFjgl::selectMaterialRow() {
    MedFlex1().setCol(kFjmc);
    MedFlex1().setColSel(MedFlex1().cols() - 1);
    updateScanButtons();
}

void FrmFjgl::selectWjlbFile() {
    FlexGrid& files = MedFlex2();
    if (files.row() < 1 || !hasCurrentMaterial())
        return;
    platform::FileDialogRequest request;
    request.filter = kFileFilter;
    // The dialog opens where the last linked file lay (the program folder at first).
    request.initialDir =
        linkFolder_->empty() ? platform::PathToUtf8(ProgramFolder()) : *linkFolder_;
    const std::optional<std::string> chosen = platform::CurrentPrompter().openFile(request);
    if (!chosen || chosen->empty())
        return;
    *linkFolder_ = platform::PathToUtf8(platform::PathFromUtf8(*chosen).parent_path());
    linkFile(*chosen);
}

void FrmFjgl::linkFile(const std::string& path, bool showSize) {
    FlexGrid& files = MedFlex2();
    if (files.row() < 1 || !hasCurrentMaterial())
        return;
    const CombinedWrite write(WorkManifestPath); // the link and the count: one write
    saveWjlbUrl(currentKey(), NumberText(S(files.textMatrix(files.row(), kFileXh))), path,
                WorkManifestPath);
    files.setTextMatrix(files.row(), kFileUrl, Q(path));
    if (showSize)
        files.setTextMatrix(
            files.row(), kFileKb,
            Q(getFileKb(path, S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc)), StorageFolder)));
    refreshMaterial();
    FlexGrid& grid = MedFlex1();
    if (util::LeadingNumber(S(grid.textMatrix(grid.row(), kDzjs))) > 0)
        for (int c = kFjmc; c <= kFjid; ++c)
            grid.setCellBackColor(grid.row(), c, LinkedColor);
    selectMaterialRow();
}

// The current entry for "清除附件" and "删除文件"; without one the user is
// told what to choose first.
bool FrmFjgl::checkEntryChosen() const {
    const FlexGrid& files = MedFlex2();
    if (files.rows() < 2) {
        platform::Notify(kNoEntries, "提示", platform::MsgIcon::Information);
        return false;
    }
    if (files.row() < 1) {
        platform::Notify(kChooseEntry, "提示", platform::MsgIcon::Information);
        return false;
    }
    return true;
}

void FrmFjgl::CmdRemoveFJ_Click() {
    FlexGrid& files = MedFlex2();
    if (!checkEntryChosen() || !hasCurrentMaterial())
        return;
    const int row = files.row();
    if (files.textMatrix(row, kFileUrl).isEmpty()) {
        platform::Notify("[" + S(files.textMatrix(row, kFileName)) + "]尚未链接附件，请重新选择...",
                         "提示", platform::MsgIcon::Information);
        return;
    }
    if (platform::CurrentPrompter().message("是否清除附件？", "提示", platform::MsgIcon::Question,
                                            platform::MsgButtons::YesNo) !=
        platform::MsgAnswer::Yes)
        return;
    files.setTextMatrix(row, kFileUrl, QString());
    files.setTextMatrix(row, kFileKb, QString());
    const CombinedWrite write(WorkManifestPath); // the link and the count: one write
    saveWjlbUrl(currentKey(), S(files.textMatrix(row, kFileXh)), "", WorkManifestPath);
    refreshMaterial();
    clearShadingIfEmpty();
    selectMaterialRow();
}

void FrmFjgl::addBut_Click() {
    if (!hasCurrentMaterial())
        return;
    FlexGrid& files = MedFlex2();
    files.setRows(files.rows() + 1);
    for (int r = 1; r < files.rows(); ++r)
        files.setRowHeight(r, kRowHeight);
    files.setRowHeight(0, kHeaderHeight);
    const int row = files.rows() - 1;
    const QString n = QString::number(row);
    const QString name = QString::fromUtf8(kGeneratedEntryName) + n;
    files.setTextMatrix(row, kFileXh, n);
    for (int c : {kFileName, kFileTitle, kFilems})
        files.setTextMatrix(row, c, name);
    files.setTextMatrix(row, kChoose, QString::fromUtf8(kChooseText));
    files.setRow(row); // the new entry is the one to link or retitle next
    files.setCol(kFileXh);
    addWjlb(currentKey(), row, S(name), S(name), WorkManifestPath);
}

void FrmFjgl::delBut_Click() {
    FlexGrid& files = MedFlex2();
    // Without a data row there is nothing to delete (and the header must stay).
    if (!isOtherMaterials() || !checkEntryChosen())
        return;
    const bool yes = platform::CurrentPrompter().message(
                         "是否确定删除？删除后无法恢复！", "提示", platform::MsgIcon::Question,
                         platform::MsgButtons::YesNo) == platform::MsgAnswer::Yes;
    const CombinedWrite write(WorkManifestPath); // the entries and the count: one write
    if (yes) {
        const std::string number = NumberText(S(files.textMatrix(files.row(), kFileXh)));
        const int row = files.row();
        if (files.rows() == 2) {
            files.setRows(1);
        } else {
            files.removeRow(row - 1);
            for (int r = row; r < files.rows(); ++r) {
                const std::string old = S(files.textMatrix(r, kFileXh));
                const QString n = Q(DecimalText(util::LeadingNumber(old) - 1));
                files.setTextMatrix(r, kFileXh, n);
                // A title the applicant typed stays; generated names follow the number.
                if (NameFollowsNumber(S(files.textMatrix(r, kFileName)),
                                      S(files.textMatrix(r, kFileTitle)), old)) {
                    files.setTextMatrix(r, kFileName, QString::fromUtf8(kGeneratedEntryName) + n);
                    files.setTextMatrix(r, kFileTitle, QString::fromUtf8(kGeneratedEntryName) + n);
                }
            }
            files.setRow(std::min(row, files.rows() - 1));
        }
        delWjlb(currentKey(), number, WorkManifestPath);
    }
    refreshMaterial();
    clearShadingIfEmpty();
    selectMaterialRow();
}

void FrmFjgl::MedFlex2_DblClick() {
    FlexGrid& files = MedFlex2();
    if (files.col() != kFileTitle || files.row() < 1 || !isOtherMaterials())
        return;
    Control& grid = control(QStringLiteral("MedFlex2"));
    const int row = files.row();
    Text1().setRect({grid.left() + files.colPos(kFileTitle) + kEditorLeftInset,
                     grid.top() + files.rowPos(row) + kEditorTopInset,
                     files.colWidth(kFileTitle) - kEditorWidthLoss,
                     files.rowHeight(row) - kEditorHeightLoss});
    Text1().setText(files.textMatrix(row, kFileTitle));
    auto* edit = Text1().as<QLineEdit>();
    edit->end(false);
    Text1().setVisible(true);
    edit->raise();
    edit->setFocus();
    EditRow = row;
    editing_ = true;
    files.setCol(kFileXh);
}

// Enter retitles an entry of 其他材料 in the title column and, in the ">>>"
// column, chooses its file as a click there does.
void FrmFjgl::MedFlex2_KeyPress(int keyAscii) {
    if (keyAscii != 13)
        return;
    if (MedFlex2().col() == kChoose)
        MedFlex2_Click();
    else
        MedFlex2_DblClick();
}

void FrmFjgl::Text1_KeyPress(int keyAscii) {
    if (keyAscii == 27 && editing_) {
        editing_ = false;
        Text1().setVisible(false);
        EditRow = -1;
        MedFlex2().setFocus();
    } else if (keyAscii == 13) {
        commitTitle();
    }
}

void FrmFjgl::Text1_LostFocus() {
    commitTitle();
}

// An empty title (only spaces) would leave the entry without a file name: such
// an edit is dropped and the entry keeps its title. So is a title the name
// rule refuses (materials/name_rule.h), after a message that says why.
void FrmFjgl::commitTitle() {
    if (!editing_)
        return;
    editing_ = false;
    FlexGrid& files = MedFlex2();
    const int row = EditRow >= 0 ? EditRow : files.row();
    const std::string title = ToStandardName(S(Text1().text()));
    Text1().setVisible(false);
    EditRow = -1;
    files.setFocus();
    if (title.empty() || row < 1 || row >= files.rows())
        return;
    // The one name rule, when the title is typed: the title becomes the
    // entry's file name in the package and on the disc.
    const std::string material = S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc));
    if (const std::string problem = TitleProblem(material, title); !problem.empty()) {
        platform::Notify("报件名称“" + title + "”不能使用：" + problem + "。\r\n报件名称未修改。",
                         "提示", platform::MsgIcon::Exclamation);
        return;
    }
    files.setTextMatrix(row, kFileTitle, Q(title));
    saveWjlbTitle(currentKey(), NumberText(S(files.textMatrix(row, kFileXh))), title,
                  WorkManifestPath);
}

} // namespace materials::ui
