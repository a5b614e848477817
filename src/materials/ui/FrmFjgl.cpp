#include "materials/ui/FrmFjgl.h"

#include "dialogs/ui/selpath.h"
#include "fieldforms/completeness.h"
#include "fieldforms/ui/XZJBTab.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/save_folder.h"
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
#include <QPlainTextEdit>
#include <QTimer>

#include <filesystem>
#include <system_error>
#include <utility>

namespace materials::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;

using platform::ui::Q;
using platform::ui::S;

constexpr int kHeaderHeight = 340;
constexpr int kRowHeight = 300;
constexpr int kMaterialGridWidth = 4600;
constexpr int kEditorLeftInset = 50, kEditorTopInset = 60;
constexpr int kEditorWidthLoss = 60, kEditorHeightLoss = 70;

// Material grid columns.
constexpr int kFjxh = 0, kFjmc = 1, kDzjs = 2, kFjKb = 3, kFjid = 4;
// File grid columns.
constexpr int kFileXh = 0, kFileName = 1, kFileTitle = 2, kFileUrl = 3, kChoose = 4, kFileKb = 5,
              kFilems = 6;

const char* const kChooseText = ">>>";
const char* const kNoEntries = "电子报件列表中没有报件。";
const char* const kChooseEntry = "请先在电子报件列表中选择报件。";
const char* const kFileFilter =
    "申报材料(*.doc,*.xls,*.jpeg,*.pdf)|*.doc;*.xls;*.jpg;*.jpeg;*.pdf|所有文件(*.*)|*.*";

const char* const kInstructions[] = {
    "1.点击“申报材料列表”，“附件说明”显示指定材料总体要求；",
    "2.点击“电子报件列表”中“报件名称”，“附件说明”显示指定报件的详细要求；",
    "3.点击“电子报件列表”中“选文件”，应选择指定报件的附件文件；",
    "4.一个报件仅能选择一个附件文件，如果有多页，请自行处理为一个附件文件；",
    "5.除“其他材料”外，报件名称不允许修改；",
    "6.对于“其他材料”，允许增加多个报件，并且允许修改报件名称；",
    "7.“清除附件”：解除指定申报材料的当前报件附件文件链接，非文件删除；",
    "8.完成申报附件链接后，点击“保存”，系统自动将全部链接的附件文件，拷贝到指定目录下（存储路径），"
    "并修改文件名称为标准名称；",
    "9.完成“保存”（且申请书内容检查无误）后，可根据提示，将存储路径下所有目录及文件刻盘上报。",
};

const char* const kSizeHints[] = {
    "1.对于JPG文件:降低图片精度或大小;",
    "2.对于DOC文件:对文中图片【设置图片格式】,选择压缩【文档中所有图片】;",
    "3.对于PDF文件:对原始文件压缩后重新生成PDF文件。",
};

QString Joined(const char* const* lines, std::size_t count) {
    QStringList list;
    for (std::size_t i = 0; i < count; ++i)
        list << QString::fromUtf8(lines[i]);
    return list.join(QLatin1Char('\n'));
}

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

// ---- controls ----

void FrmFjgl::createControls() {
    createMaterialFrame();
    createFileFrame();
    createTipsFrame();
    createStorageAndSize();
    createButtons();
    createInstructions();
    createHintPanel();
}

void FrmFjgl::createMaterialFrame() {
    Control& frame = add(ControlKind::Frame, QStringLiteral("Frame1"), {120, 60, 4800, 4920});
    frame.setText(QStringLiteral(" 申报材料列表 "));
    frame.widget()->installEventFilter(this);
    auto* grid = new FlexGrid();
    adopt(grid, QStringLiteral("MedFlex1"), {100, 260, kMaterialGridWidth, 4540}, &frame);
    connect(grid, &FlexGrid::clicked, this, [this] { MedFlex1_Click(); });
    connect(grid, &FlexGrid::enterCell, this, [this] { MedFlex1_Click(); });
}

void FrmFjgl::createFileFrame() {
    Control& frame = add(ControlKind::Frame, QStringLiteral("Frame2"), {5040, 60, 7560, 4920});
    frame.setText(QStringLiteral(" 电子报件列表 "));
    auto* grid = new FlexGrid();
    adopt(grid, QStringLiteral("MedFlex2"), {100, 260, 7360, 3600}, &frame);
    connect(grid, &FlexGrid::clicked, this, [this] { MedFlex2_Click(); });
    connect(grid, &FlexGrid::doubleClicked, this, [this] { MedFlex2_DblClick(); });
    connect(grid, &FlexGrid::keyPressed, this, [this](int code) { MedFlex2_KeyPress(code); });
    connect(grid, &FlexGrid::enterCell, this, [this] { MedFlex2_EnterCell(); });

    struct Button {
        const char* name;
        const char* caption;
        twip::ui::TwipRect rect;
    };
    const Button buttons[] = {{"browseBut", "打印清单", {100, 4380, 1300, 400}},
                              {"addBut", "增加文件", {3560, 4380, 1200, 400}},
                              {"delBut", "删除文件", {4860, 4380, 1200, 400}},
                              {"CmdRemoveFJ", "清除附件", {6160, 4380, 1200, 400}}};
    for (const Button& b : buttons)
        add(ControlKind::CommandButton, QString::fromUtf8(b.name), b.rect, &frame)
            .setText(QString::fromUtf8(b.caption));
    browseBut().setOnClick([this] { browseBut_Click(); });
    addBut().setOnClick([this] { addBut_Click(); });
    delBut().setOnClick([this] { delBut_Click(); });
    CmdRemoveFJ().setOnClick([this] { CmdRemoveFJ_Click(); });
    // The way from a saved package to a checked disc.
    Control& disc =
        add(ControlKind::CommandButton, QStringLiteral("CmdDisc"), {1500, 4380, 1400, 400}, &frame);
    disc.setText(QStringLiteral("检查并刻录"));
    disc.setEnabled(false);
    disc.setOnClick([this] { CmdDisc_Click(); });
    // Tab takes the buttons as they stand, left to right.
    QWidget::setTabOrder(browseBut().widget(), disc.widget());
    QWidget::setTabOrder(disc.widget(), addBut().widget());
    // From paper to the entry: scanning and shrinking (src/scan/ui).
    Control& scanButton =
        add(ControlKind::CommandButton, QStringLiteral("CmdScan"), {100, 3940, 1300, 380}, &frame);
    scanButton.setText(QStringLiteral("扫描..."));
    scanButton.setOnClick([this] { CmdScan_Click(); });
    Control& shrinkButton = add(ControlKind::CommandButton, QStringLiteral("CmdShrink"),
                                {1500, 3940, 1300, 380}, &frame);
    shrinkButton.setText(QStringLiteral("压缩..."));
    shrinkButton.setOnClick([this] { CmdShrink_Click(); });
    QWidget::setTabOrder(CmdRemoveFJ().widget(), scanButton.widget());
    QWidget::setTabOrder(scanButton.widget(), shrinkButton.widget());
    updateScanButtons();

    Control& editor = add(ControlKind::TextBox, QStringLiteral("Text1"), {0, 0, 1000, 240}, &frame);
    editor.setVisible(false);
    editor.widget()->installEventFilter(this);
}

void FrmFjgl::createTipsFrame() {
    Control& frame = add(ControlKind::Frame, QStringLiteral("Frame3"), {120, 5100, 4800, 2200});
    frame.setText(QStringLiteral(" 说明 "));
    frame.widget()->installEventFilter(this);
    Control& box = addMultiLineTextBox(QStringLiteral("tips"), {100, 260, 4600, 1560}, &frame);
    box.setLocked(true);
    if (auto* edit = box.as<QPlainTextEdit>())
        edit->viewport()->installEventFilter(this);
    Control& link =
        add(ControlKind::Label, QStringLiteral("Label2"), {3700, 1880, 1000, 240}, &frame);
    link.setText(QStringLiteral("下载模板"));
    link.setForeColor(Qt::blue);
    FontSpec underlined = link.font();
    underlined.underline = true;
    link.setFont(underlined);
    link.setLink(true);
    link.setVisible(false);
    link.setOnClick([this] { Label2_Click(); });
}

void FrmFjgl::createStorageAndSize() {
    add(ControlKind::Label, QStringLiteral("Label1"), {5040, 5180, 1900, 260})
        .setText(QStringLiteral("申报资料存储路径："));
    Control& folder =
        add(ControlKind::TextBox, QStringLiteral("Text2"), {6900, 5120, 4620, 330}, nullptr, 0);
    folder.setLocked(true);
    Control& choose =
        add(ControlKind::CommandButton, QStringLiteral("Command1"), {11600, 5100, 1000, 370});
    choose.setText(QStringLiteral("选择.."));
    choose.setOnClick([this] { Command1_Click(); });

    Control& group = add(ControlKind::Frame, QStringLiteral("Frame4"), {5040, 5560, 7560, 760});
    struct Part {
        const char* text;
        twip::ui::TwipRect rect;
    };
    const Part parts[] = {{"", {1320, 330, 900, 260}},
                          {"", {4020, 330, 700, 260}},
                          {"总文件大小", {200, 330, 1100, 260}},
                          {"M", {2240, 330, 300, 260}},
                          {"限定文件大小", {2700, 330, 1300, 260}},
                          {"M", {4740, 330, 300, 260}},
                          {"减少文件大小方法", {5500, 330, 1800, 260}}};
    for (int i = 0; i < 7; ++i) {
        Control& label =
            add(ControlKind::Label, QStringLiteral("Label3"), parts[i].rect, &group, i);
        label.setText(QString::fromUtf8(parts[i].text));
        label.setOnClick([this, i] { Label3_Click(i); });
    }
    for (int i : {0, 1}) {
        Label3(i).setForeColor(Qt::red);
        Label3(i).setAlignment(TextAlign::Right);
    }
    Label3(6).setForeColor(Qt::blue);
    FontSpec underlined = Label3(6).font();
    underlined.underline = true;
    Label3(6).setFont(underlined);
    Label3(6).setLink(true);
}

void FrmFjgl::createButtons() {
    const char* captions[] = {"保存", "打开", "项目基本信息", "行政审批申请书", "退 出"};
    const int widths[] = {1200, 1200, 1700, 1900, 1200};
    int left = 5040;
    for (int i = 0; i < 5; ++i) {
        Control& button = add(ControlKind::CommandButton, QStringLiteral("CmdSave"),
                              {left, 6560, widths[i], 450}, nullptr, i);
        button.setText(QString::fromUtf8(captions[i]));
        button.setOnClick([this, i] { CmdSave_Click(i); });
        left += widths[i] + 90;
    }
}

void FrmFjgl::createInstructions() {
    Control& frame = add(ControlKind::Frame, QStringLiteral("Frame5"), {120, 7400, 12480, 2500});
    frame.setText(QStringLiteral(" 操作说明 "));
    frame.widget()->installEventFilter(this);
    add(ControlKind::Label, QStringLiteral("Node"), {150, 300, 12200, 2150}, &frame)
        .setText(Joined(kInstructions, std::size(kInstructions)));
}

void FrmFjgl::createHintPanel() {
    Control& panel =
        add(ControlKind::PictureBox, QStringLiteral("MsgPic"), {5040, 6340, 7560, 960});
    panel.setBackColor(QColor(255, 255, 225));
    panel.widget()->setFocusPolicy(Qt::ClickFocus);
    panel.widget()->installEventFilter(this);
    panel.setOnClick([this] { hideMsgPic(); });
    Control& hints = add(ControlKind::Label, QStringLiteral("Label4"), {80, 60, 7380, 840}, &panel);
    hints.setText(Joined(kSizeHints, std::size(kSizeHints)));
    hints.setOnClick([this] { hideMsgPic(); });
    panel.setVisible(false);
    panel.widget()->raise();
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

// ---- linking and editing ----

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
