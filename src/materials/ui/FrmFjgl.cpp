#include "materials/ui/FrmFjgl.h"

#include "dialogs/ui/selpath.h"
#include "fieldforms/completeness.h"
#include "fieldforms/ui/XZJBTab.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/save_folder.h"
#include "materials/ui/materials_window_grid.h"
#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"
#include "twip/ui/error_barrier.h"
#include "util/convert.h"
#include "util/template_docs.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <filesystem>
#include <system_error>
#include <utility>

namespace materials::ui {
namespace {

using twip::ui::Control;
using twip::ui::TextAlign;

using platform::ui::Q;
using platform::ui::S;

const ApplicationItem& CurrentItem() {
    return ItemTable.at(static_cast<std::size_t>(SelectedItem));
}

std::string ProgramFile(const std::string& name) {
    return platform::PathToUtf8(ProgramFolder() / platform::PathFromUtf8(name));
}

std::string DefaultFolder(const ApplicationItem& item) {
    return ProgramFile("申请材料-" + item.申请事项简称 + item.子项名称);
}

void DeleteFileIfExists(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(platform::PathFromUtf8(path), ignored);
}

// The editor's own context menu takes the focus while it is open (paste,
// select all): that is no end of the edit. Only a focus change to another
// control or window commits.
bool OpensOwnMenu(const QWidget& editor, const QFocusEvent& event) {
    if (event.reason() != Qt::PopupFocusReason)
        return false;
    for (const QObject* p = QApplication::activePopupWidget(); p != nullptr; p = p->parent())
        if (p == &editor)
            return true;
    return false;
}

bool IsTrue(std::int16_t flag) {
    return flag != 0;
}

std::int16_t SizeLimit() {
    try {
        return util::ReadSizeLimit();
    } catch (const std::exception&) {
        return 200;
    }
}

} // namespace

const QColor FrmFjgl::HasFilesColor = QColor(204, 204, 255);
const QColor FrmFjgl::LinkedColor = QColor(234, 234, 255);

FrmFjgl::FrmFjgl(WindowParts parts, QWidget* parent) : TwipForm(parent), parts_(std::move(parts)) {
    setObjectName(QStringLiteral("FrmFjgl"));
    setClientSize(12720, 10020);
    createControls();
}

FrmFjgl::~FrmFjgl() {
    Form_Unload();
}

// ---- opening, activation, closing ----

void FrmFjgl::Form_Load() {
    const ApplicationItem& item = CurrentItem();
    setCaption(Q("申报资料管理－【" + item.申请事项名称 + "】"));
    WorkManifestPath = ProgramFile("TempXml.XML");
    loadWorkingCopy();
    showFolder(ShownFolder);
    const std::optional<OpeningView> view = showMaterials(WorkManifestPath);
    EditRow = -1;
    SizeLimitMb = SizeLimit();
    Label3(1).setText(QString::number(SizeLimitMb));
    selectFirstMaterial(view);
    showTotal();
    updateDiscButton();
    markSaved();
}

bool FrmFjgl::linksChanged() const {
    return ManifestBytes(WorkManifestPath) != savedCopy_ &&
           LinkState(WorkManifestPath) != LinkStateOfBytes(savedCopy_, WorkManifestPath);
}

void FrmFjgl::markSaved() {
    // The bytes only: the links are compared when the window closes, and only
    // when the bytes have changed.
    savedCopy_ = ManifestBytes(WorkManifestPath);
}

// The saved folder, the default folder, or the item's template, in this order.
// A working copy left behind by an instance that ended abnormally is removed
// first, so it can never be shown in place of the template.
void FrmFjgl::loadWorkingCopy() {
    const ApplicationItem& item = CurrentItem();
    DeleteFileIfExists(WorkManifestPath);
    if (!item.存储路径.empty()) {
        StorageFolder = ShownFolder = item.存储路径;
        RepairAndTell(item.存储路径);
        if (TakeStoredCopy(item.存储路径, item.文件标识, WorkManifestPath))
            return;
    }
    const std::string defaultFolder = DefaultFolder(item);
    StorageFolder = ShownFolder = defaultFolder;
    if (defaultFolder != item.存储路径)
        RepairAndTell(defaultFolder);
    if (TakeStoredCopy(defaultFolder, item.文件标识, WorkManifestPath))
        return;
    StorageFolder.clear();
    try {
        util::ExtractXmlTemplate(WorkManifestPath);
    } catch (const std::exception&) {
        // No usable template: the material list reports the missing working copy.
    }
}

std::optional<OpeningView> FrmFjgl::showMaterials(const std::string& path) {
    InitGrids();
    enableEntryButtons(); // no material is current until one is selected
    std::optional<OpeningView> view = ReadOpeningView(path, StorageFolder);
    if (!view)
        return view;
    const std::vector<MaterialRow>* rows = &view->materials;
    FlexGrid& grid = MedFlex1();
    grid.setRows(static_cast<int>(rows->size()) + 1);
    for (int r = 1; r < grid.rows(); ++r) {
        const MaterialRow& row = (*rows)[static_cast<std::size_t>(r - 1)];
        grid.setTextMatrix(r, kFjxh, Q(row.number));
        grid.setTextMatrix(r, kFjmc, Q(row.name));
        grid.setTextMatrix(r, kDzjs, Q(row.fileCount));
        grid.setTextMatrix(r, kFjid, Q(row.key));
        grid.setRowHeight(r, kRowHeight);
    }
    grid.setRowHeight(0, kHeaderHeight);
    OldManifest = IsOldLayout(*rows, SubItemName) ? -1 : 0;
    addBackColor();
    for (int r = 1; r < grid.rows(); ++r)
        grid.setTextMatrix(r, kFjKb, Q((*rows)[static_cast<std::size_t>(r - 1)].kb));
    return view;
}

void FrmFjgl::showFolder(const std::string& folder) {
    Text2(0).setText(Q(folder));
    if (auto* edit = Text2(0).as<QLineEdit>())
        edit->setCursorPosition(0); // the start of a long path says more than its end
}

// Row 1 selected in full, shown as MedFlex1_Click shows it, with the entries
// and tips that the opening reading already took from the manifest.
void FrmFjgl::selectFirstMaterial(const std::optional<OpeningView>& view) {
    FlexGrid& grid = MedFlex1();
    if (!view || grid.rows() < 2)
        return;
    grid.setRow(1);
    grid.setCol(0);
    grid.setColSel(grid.cols() - 1);
    MedFlex2().setRows(1);
    tips().setText(QString());
    fillFileGrid(view->firstFiles);
    showSelectedMaterial(view->firstTips);
}

void FrmFjgl::showTotal() {
    std::vector<std::string> kb;
    for (int r = 1; r < MedFlex1().rows(); ++r)
        kb.push_back(S(MedFlex1().textMatrix(r, kFjKb)));
    Label3(0).setText(QString::number(getTotalMb(kb)));
}

void FrmFjgl::Form_Activate() {
    if (!IsTrue(OldManifest))
        return;
    platform::Notify("【" + S(Text2(0).text()) +
                         "】目录下报盘文件为老版本，强烈建议：删除后重新组织...",
                     "提示", platform::MsgIcon::Critical);
}

void FrmFjgl::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    editing_ = false; // a title being edited goes with the working copy
    EditRow = -1;
    if (!WorkManifestPath.empty()) {
        DeleteFileIfExists(WorkManifestPath);
        ReleaseKeptManifest(WorkManifestPath);
    }
}

void FrmFjgl::done(int result) {
    if (saving_)
        return; // the window stays while a save runs
    // Links, titles or entries changed since the last save or opening are
    // not thrown away without asking.
    if (!unloaded_ && !WorkManifestPath.empty() && linksChanged() &&
        platform::CurrentPrompter().message(
            "申报材料已经改变，退出将不保存。确认吗？", "提示", platform::MsgIcon::Question,
            platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes)
        return;
    Form_Unload();
    TwipForm::done(result);
}

// The window becomes active when it is first shown and again whenever a form
// that it showed modally closes (see openPackage, Command1_Click).
void FrmFjgl::showEvent(QShowEvent* event) {
    TwipForm::showEvent(event);
    if (activatedOnce_)
        return;
    activatedOnce_ = true;
    QTimer::singleShot(0, this, [this] { Form_Activate(); });
}

// ---- grids ----

void FrmFjgl::InitGrids() {
    struct Column {
        const char* header;
        int width; // twips; -1 is the material name: what the other columns leave
        TextAlign alignment;
    };
    const Column materials[] = {{"序号", 600, TextAlign::Center},
                                {"材料名称", -1, TextAlign::Left},
                                {"报件数", 700, TextAlign::Center},
                                {"文件(KB)", 900, TextAlign::Center},
                                {"ID", 0, TextAlign::Left}};
    const Column files[] = {{"序号", 600, TextAlign::Center},
                            {"报件名称", 0, TextAlign::Left},
                            {"报件名称", 2100, TextAlign::Left},
                            {"报件路径", 2700, TextAlign::Left},
                            {"选文件", 700, TextAlign::Center},
                            {"文件(KB)", 900, TextAlign::Center},
                            {"", 0, TextAlign::Left}};
    const auto setUp = [](FlexGrid& grid, const Column* columns, int count, int gridWidth) {
        grid.setRows(1);
        grid.setCols(count);
        for (int c = 0; c < count; ++c) {
            grid.setTextMatrix(0, c, QString::fromUtf8(columns[c].header));
            grid.setColWidth(c, columns[c].width < 0 ? gridWidth - 2250 : columns[c].width);
            grid.setColAlignment(c, columns[c].alignment);
        }
        grid.setRowHeight(0, kHeaderHeight);
        grid.setRow(0);
        grid.setCol(0);
    };
    setUp(MedFlex1(), materials, 5, control(QStringLiteral("MedFlex1")).width());
    setUp(MedFlex2(), files, 7, 0);
}

void FrmFjgl::ReadWjlb(const std::string& fjid, const std::string& path) {
    fillFileGrid(materials::ReadWjlb(fjid, path, StorageFolder));
}

// The file grid from the entries of one material; nothing changes when the
// material was not found.
void FrmFjgl::fillFileGrid(const std::optional<std::vector<FileRow>>& rows) {
    if (!rows)
        return;
    FlexGrid& grid = MedFlex2();
    grid.setRedraw(false);
    grid.setRows(static_cast<int>(rows->size()) + 1);
    for (int r = 1; r < grid.rows(); ++r) {
        const FileRow& row = (*rows)[static_cast<std::size_t>(r - 1)];
        grid.setTextMatrix(r, kFileXh, Q(row.number));
        grid.setTextMatrix(r, kFileName, Q(row.name));
        grid.setTextMatrix(r, kFileTitle, Q(row.title));
        grid.setTextMatrix(r, kFileUrl, Q(row.link));
        grid.setTextMatrix(r, kChoose, QString::fromUtf8(kChooseText));
        grid.setTextMatrix(r, kFileKb, Q(row.kb));
        grid.setTextMatrix(r, kFilems, Q(row.description));
        grid.setRowHeight(r, kRowHeight);
        if (r == 1 && IsTrue(ReloadPending)) {
            if (EntryMarksOldLayout(SubItemName, row.title))
                OldManifest = -1;
            ReloadPending = 0;
        }
    }
    grid.setRowHeight(0, kHeaderHeight);
    grid.setRedraw(true);
}

void FrmFjgl::addBackColor() {
    FlexGrid& grid = MedFlex1();
    for (int r = 1; r < grid.rows(); ++r)
        if (util::LeadingNumber(S(grid.textMatrix(r, kDzjs))) > 0)
            for (int c = kFjmc; c <= kFjid; ++c)
                grid.setCellBackColor(r, c, HasFilesColor);
}

std::string FrmFjgl::currentKey() const {
    return S(MedFlex1().textMatrix(MedFlex1().row(), kFjid));
}

// The entry actions work on the current material's row; the header row is none.
bool FrmFjgl::hasCurrentMaterial() const {
    return MedFlex1().row() >= 1;
}

bool FrmFjgl::isOtherMaterials() const {
    return hasCurrentMaterial() &&
           MedFlex1().textMatrix(MedFlex1().row(), kFjmc) == QString::fromUtf8(kOtherMaterialsName);
}

void FrmFjgl::MedFlex1_Click() {
    MedFlex2().setRows(1);
    tips().setText(QString());
    const std::string key = currentKey();
    ReadWjlb(key, WorkManifestPath);
    showSelectedMaterial(ReadTips(key, WorkManifestPath));
}

// Selecting a material once its entries are listed: the tips, the template
// link, the file grid's first column and the buttons of 其他材料.
void FrmFjgl::showSelectedMaterial(const std::string& tipsText) {
    tips().setText(Q(tipsText));
    Label2().setVisible(tips().text().contains(QStringLiteral("点击下载")));
    // The first entry is current, so that the entry buttons act on it at once.
    if (MedFlex2().rows() > 1) {
        MedFlex2().setRow(1);
        MedFlex2().setCol(kFileXh);
    }
    MedFlex2_Click();
    enableEntryButtons();
}

void FrmFjgl::enableEntryButtons() {
    const bool other = isOtherMaterials();
    addBut().setEnabled(other);
    delBut().setEnabled(other);
    updateScanButtons();
}

void FrmFjgl::MedFlex2_Click() {
    FlexGrid& grid = MedFlex2();
    grid.setToolTip(QString());
    if (grid.col() == kChoose) {
        grid.setCol(kFileXh);
        selectWjlbFile();
    }
    if (grid.col() == kFileUrl && grid.row() != 0)
        grid.setToolTip(grid.textMatrix(grid.row(), kFileUrl));
    const int col = grid.col();
    if (col == kFileTitle || col == kFileUrl || col == kFileKb ||
        (col == kFileName && grid.colSel() == grid.cols() - 1))
        tips().setText(grid.textMatrix(grid.row(), kFilems));
    updateScanButtons();
}

// An entry reached with the arrow keys shows its description as a click on
// it does (only a click in the ">>>" column chooses a file).
void FrmFjgl::MedFlex2_EnterCell() {
    const FlexGrid& grid = MedFlex2();
    if (grid.row() >= 1 && grid.row() < grid.rows())
        tips().setText(grid.textMatrix(grid.row(), kFilems));
    updateScanButtons();
}

// ---- buttons and labels ----

void FrmFjgl::hideMsgPic() {
    if (Control* panel = find(QStringLiteral("MsgPic")))
        panel->setVisible(false);
}

void FrmFjgl::Label3_Click(int index) {
    if (index != 6) {
        hideMsgPic();
        return;
    }
    if (MsgPic().visible()) {
        hideMsgPic();
    } else {
        MsgPic().setVisible(true);
        MsgPic().widget()->raise();
        MsgPic().widget()->setFocus();
    }
}

void FrmFjgl::Label2_Click() {
    const std::string material = S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc));
    util::DownloadDocTemplate(TemplateFileName(material));
}

void FrmFjgl::CmdSave_Click(int index) {
    if (saving_)
        return;
    hideMsgPic();
    switch (index) {
    case 0:
        SaveSubmission();
        break;
    case 1:
        openPackage();
        break;
    case 2: {
        // The basic information is filled in only after the application form.
        bool complete = false;
        twip::ui::Guarded("打开项目基本信息表", [&complete] {
            complete = fieldforms::CheckCompleteness(fieldforms::kApplicationForm);
        });
        if (complete)
            fieldforms::ui::ShowBasicInformationForm(this);
        break;
    }
    case 3:
        if (parts_.showApplicationForm)
            parts_.showApplicationForm(this);
        break;
    case 4:
        close();
        break;
    default:
        break;
    }
}

void FrmFjgl::browseBut_Click() {
    hideMsgPic();
    if (parts_.showMaterialsList)
        parts_.showMaterialsList(this);
}

void FrmFjgl::openPackage() {
    PickedFolder = S(Text2(0).text());
    dialogs::ui::PickFolder();
    if (PickerMode == 0) {
        RepairAndTell(PickedFolder);
        if (TakeStoredCopy(PickedFolder, CurrentItem().文件标识, WorkManifestPath)) {
            StorageFolder = ShownFolder = PickedFolder;
            showFolder(PickedFolder);
            selectFirstMaterial(showMaterials(WorkManifestPath));
            showTotal();
            updateDiscButton();
            markSaved();
        } else {
            platform::Notify("指定目录非有效的申报资料存储路径...", "提示",
                             platform::MsgIcon::Exclamation);
        }
    }
    Form_Activate();
}

void FrmFjgl::Command1_Click() {
    if (saving_)
        return;
    hideMsgPic();
    PickedFolder = S(Text2(0).text());
    if (dialogs::ui::PickFolder()) {
        showFolder(PickedFolder);
        ShownFolder = PickedFolder;
        updateDiscButton();
    }
    Form_Activate();
}

// "检查并刻录" works on the shown folder once it holds a saved package.
void FrmFjgl::updateDiscButton() {
    std::error_code ignored;
    CmdDisc().setEnabled(!ShownFolder.empty() &&
                         std::filesystem::is_regular_file(StoredCopyPath(ShownFolder), ignored));
}

void FrmFjgl::CmdDisc_Click() {
    hideMsgPic();
    updateDiscButton();
    if (!CmdDisc().enabled() || !parts_.showDisc)
        return;
    const ApplicationItem& item = CurrentItem();
    parts_.showDisc(this, ShownFolder, item.申请事项简称 + item.子项名称);
}

// ---- scanning and shrinking ----

// "扫描..." needs a current entry; "压缩..." an entry linked to a JPEG or PDF.
void FrmFjgl::updateScanButtons() {
    const Control* scanButton = find(QStringLiteral("CmdScan"));
    const Control* shrinkButton = find(QStringLiteral("CmdShrink"));
    if (!scanButton || !shrinkButton || !find(QStringLiteral("MedFlex2")))
        return;
    const bool entry =
        hasCurrentMaterial() && MedFlex2().row() >= 1 && MedFlex2().row() < MedFlex2().rows();
    CmdScan().setEnabled(entry);
    CmdShrink().setEnabled(entry && !shrinkableFile().empty());
}

std::string FrmFjgl::shrinkableFile() const {
    const FlexGrid& files = MedFlex2();
    if (!hasCurrentMaterial() || files.row() < 1 || files.row() >= files.rows())
        return {};
    const std::string link = S(files.textMatrix(files.row(), kFileUrl));
    const std::optional<std::filesystem::path> path =
        ResolveLink(link, S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc)), StorageFolder);
    std::error_code ignored;
    if (!path || !std::filesystem::is_regular_file(*path, ignored) || !parts_.canShrink)
        return {};
    const std::string file = platform::PathToUtf8(*path);
    return parts_.canShrink(file) ? file : std::string();
}

void FrmFjgl::CmdScan_Click() {
    hideMsgPic();
    const FlexGrid& files = MedFlex2();
    if (!hasCurrentMaterial() || files.row() < 1 || files.row() >= files.rows() || !parts_.scan)
        return;
    const ApplicationItem& item = CurrentItem();
    const std::string material = S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc));
    ScanRequest request;
    request.item = item.申请事项简称 + item.子项名称;
    request.material = material;
    request.entry = S(files.textMatrix(files.row(), kFileTitle));
    request.dataFolder = platform::PathToUtf8(ProgramFolder());
    request.limitMb = SizeLimitMb;
    // What the other entries take: the package less this entry's own file,
    // which the scan replaces.
    std::uint64_t kb = 0;
    for (int r = 1; r < MedFlex1().rows(); ++r)
        kb += static_cast<std::uint64_t>(util::LeadingNumber(S(MedFlex1().textMatrix(r, kFjKb))));
    const auto own = static_cast<std::uint64_t>(util::LeadingNumber(
        getFileKb(S(files.textMatrix(files.row(), kFileUrl)), material, StorageFolder)));
    request.otherLinkedKb = kb > own ? kb - own : 0;
    if (const std::optional<std::string> pdf = parts_.scan(this, request))
        linkFile(*pdf, true);
}

void FrmFjgl::CmdShrink_Click() {
    hideMsgPic();
    if (!parts_.shrink)
        return;
    const std::string source = shrinkableFile();
    if (source.empty()) {
        platform::Notify("当前报件没有链接可压缩的JPEG或PDF文件。", "提示",
                         platform::MsgIcon::Information);
        return;
    }
    const ApplicationItem& item = CurrentItem();
    ShrinkRequest request;
    request.source = source;
    request.item = item.申请事项简称 + item.子项名称;
    request.material = S(MedFlex1().textMatrix(MedFlex1().row(), kFjmc));
    request.entry = S(MedFlex2().textMatrix(MedFlex2().row(), kFileTitle));
    request.dataFolder = platform::PathToUtf8(ProgramFolder());
    if (const std::optional<std::string> copy = parts_.shrink(this, request))
        linkFile(*copy, true);
}

// ---- events ----

void FrmFjgl::mouseReleaseEvent(QMouseEvent* event) {
    TwipForm::mouseReleaseEvent(event);
    hideMsgPic(); // Form_Click
}

bool FrmFjgl::eventFilter(QObject* watched, QEvent* event) {
    const Control* editor = find(QStringLiteral("Text1"));
    const Control* panel = find(QStringLiteral("MsgPic"));
    if (editor && watched == editor->widget()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
                Text1_KeyPress(key == Qt::Key_Escape ? 27 : 13);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut &&
                   !OpensOwnMenu(*editor->widget(), *static_cast<QFocusEvent*>(event))) {
            Text1_LostFocus();
        }
    } else if (panel && watched == panel->widget() && event->type() == QEvent::FocusOut) {
        hideMsgPic(); // MsgPic_LostFocus
    } else if (panel && watched == panel->widget() && event->type() == QEvent::KeyPress) {
        // The panel shown from the keyboard is put away from it as well: the
        // focus goes back to the link, and the panel, losing it, hides.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
            key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space) {
            Label3(6).widget()->setFocus(Qt::OtherFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        hideMsgPic(); // a click on a group box or on tips
    }
    return TwipForm::eventFilter(watched, event);
}

// ---- entry point ----

void ShowMaterialsWindow(QWidget* parent, std::string* linkFolder, const WindowParts& parts) {
    if (SelectedItem < 0 || static_cast<std::size_t>(SelectedItem) >= ItemTable.size())
        return;
    FrmFjgl window(parts, parent);
    if (linkFolder)
        window.setLinkFolderMemory(linkFolder);
    if (!twip::ui::Guarded("打开申报资料管理窗口", [&window] { window.Form_Load(); }))
        return;
    window.exec();
}

} // namespace materials::ui
