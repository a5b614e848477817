#include "startup/ui/frmmain.h"

#include "platform/ui/qtext.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"
#include "util/frmutil.h"
#include "util/ui/qt_adapters.h"

#include <QCloseEvent>
#include <QCursor>
#include <QMenu>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace startup::ui {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;

namespace {

struct Gradient {
    float r, g, b;
    std::int16_t r2, g2, b2;
    std::int16_t flag; // -1: top to bottom
};

void Paint(QPainter& painter, double width, double height, Gradient gradient) {
    util::ui::PainterFillTarget target(painter, width, height);
    util::PaintGradient(target, gradient.r, gradient.g, gradient.b, gradient.r2, gradient.g2,
                        gradient.b2, gradient.flag);
}

using platform::ui::Q;

int ItemRows() {
    const long rows = static_cast<long>(ItemCount) * SubItemCount;
    return static_cast<int>(std::min<long>(rows, static_cast<long>(ItemTable.size())));
}

} // namespace

QString ProductTitle() {
    return QStringLiteral("行政审批电子申报材料制作工具");
}

QString InstructionTemplate() {
    return QStringLiteral("本工具软件用于申报【名称】电子资料。\n"
                          "    步骤1：点击下列具体申报命令按钮；\n"
                          "    步骤2：根据资料名称链接其相对应的申报资料电子文件。");
}

FrmMain::FrmMain(MaterialsOpener openMaterials, QWidget* parent)
    : TwipForm(parent), openMaterials_(std::move(openMaterials)),
      popup_([](QMenu& menu, const QPoint& at) { return menu.exec(at); }) {
    setObjectName(QStringLiteral("FrmMain"));
    setCaption(ProductTitle());
    setClientSize(6660, 4020);
    createControls();
    createMenu();
    setOnPaint([this](QPainter& painter) { Form_Paint(painter); });
    Form_Load();
}

FrmMain::~FrmMain() {
    delete help_.data();
}

void FrmMain::createControls() {
    Control& banner = add(ControlKind::PictureBox, "Picture1", {-60, 0, 8625, 585}, nullptr, 0);
    banner.setBorderStyle(0);
    banner.setOnPaint([this](QPainter& painter) { Picture1_Paint(0, painter); });

    FontSpec titleFont{QStringLiteral("楷体_GB2312"), 14, true};
    Control& shadow = add(ControlKind::Label, "Label1", {330, 150, 3645, 285}, &banner, 0);
    shadow.setFont(titleFont);
    shadow.setAutoSize(true); // a long category title is shown whole
    shadow.setForeColor(QColor(235, 235, 235));
    Control& title = add(ControlKind::Label, "Label1", {300, 120, 3645, 285}, &banner, 1);
    title.setFont(titleFont);
    title.setAutoSize(true);
    title.setForeColor(QColor(128, 0, 0));

    Control& instruction = add(ControlKind::Label, "Label2", {300, 750, 5895, 585}, nullptr, 1);
    instruction.setText(InstructionTemplate());

    // Static decoration: a separator under the instruction and a frame round the buttons.
    Control& separator = addLine("Line1", {300, 1425, 6360, 1425});
    separator.setBorderColor(QColor(160, 160, 208));
    Control& frame = add(ControlKind::Shape, "Shape1", {225, 1545, 6120, 1575});
    frame.setBorderColor(QColor(128, 128, 192));

    Control& link = add(ControlKind::Label, "Label4", {5670, 780, 780, 195});
    link.setText(QStringLiteral("使用说明"));
    link.setForeColor(QColor(255, 0, 0));
    link.setFont(FontSpec{QStringLiteral("宋体"), 9});
    link.setAutoSize(true);
    link.setLink(true);
    link.setOnClick([this] { Label4_Click(); });

    Control& grid = add(ControlKind::PictureBox, "Picture1", {270, 1590, 6030, 1485}, nullptr, 1);
    grid.setBorderStyle(0);
    grid.setOnPaint([this](QPainter& painter) { Picture1_Paint(1, painter); });
    for (int i = 0; i < kItemButtons; ++i) {
        const int row = i / 3, column = i % 3;
        Control& button = add(ControlKind::CommandButton, "Command1",
                              {270 + column * 1920, 60 + row * 480, 1605, 405}, &grid, i);
        button.setOnClick([this, i] { Command1_Click(i); });
    }

    Control& exit = add(ControlKind::CommandButton, "Command2", {5430, 3480, 915, 315});
    exit.setText(QStringLiteral("退  出"));
    exit.setOnClick([this] { Command2_Click(); });
}

void FrmMain::createMenu() {
    subMenu_ = new QMenu(QStringLiteral("子项菜单"), this);
    subMenu_->setObjectName(QStringLiteral("SUB_MENU"));
    for (int i = 0; i < kSubMenuEntries; ++i) {
        QAction* entry = subMenu_->addAction(QString());
        entry->setObjectName(QStringLiteral("MENU_SUB_%1").arg(i));
        menuSub_[static_cast<std::size_t>(i)] = entry;
    }
}

void FrmMain::Form_Load() {
    centreOnScreen();
    control("Label1", 0).setText(Q(CategoryTitle));
    control("Label1", 1).setText(Q(CategoryTitle));
    Control& instruction = control("Label2", 1);
    instruction.setText(Q(util::ReplaceAll(instruction.text().toStdString(), "【名称】",
                                           "【" + CategoryShortName + "】")));
    for (int i = 0; i < kItemButtons; ++i) {
        Control& button = control("Command1", i);
        if (i < ItemCount && i < static_cast<int>(ItemTable.size())) {
            const ApplicationItem& item = ItemTable[static_cast<std::size_t>(i)];
            button.setText(Q(item.申请事项简称));
            button.setTag(QString::number(item.子项序号));
        } else {
            button.setVisible(false);
        }
    }
    // The keyboard starts on the first item button.
    control("Command1", 0).widget()->setFocus(Qt::OtherFocusReason);
}

void FrmMain::Form_Paint(QPainter& painter) {
    Paint(painter, scaleWidth(), scaleHeight(), {250, 250, 250, 220, 220, 255, 0});
}

void FrmMain::Picture1_Paint(int index, QPainter& painter) {
    const Control& box = control("Picture1", index);
    const Gradient gradient = index == 1 ? Gradient{250, 250, 250, 200, 200, 240, -1}
                                         : Gradient{255, 255, 255, 210, 210, 255, 0};
    Paint(painter, box.width(), box.height(), gradient);
}

void FrmMain::Command1_Click(int index) {
    SelectedItem = static_cast<std::int16_t>(index);
    const int group = control("Command1", index).tag().toInt();
    if (group == 0) {
        SubItemName.clear();
        ReloadPending = -1;
        if (openMaterials_)
            openMaterials_(this);
        return;
    }
    // A group larger than the menu shows its first eight rows.
    int k = 0;
    for (int i = 0; i < ItemRows() && k < kSubMenuEntries; ++i) {
        const ApplicationItem& item = ItemTable[static_cast<std::size_t>(i)];
        if (item.子项序号 != group)
            continue;
        QAction& entry = MENU_SUB(k);
        entry.setText(Q(item.子项名称));
        entry.setVisible(true);
        entry.setData(QString::number(i));
        ++k;
    }
    for (; k < kSubMenuEntries; ++k)
        MENU_SUB(k).setVisible(false);
    QAction* chosen = popup_(SUB_MENU(), menuPosition(control("Command1", index)));
    for (int i = 0; chosen && i < kSubMenuEntries; ++i)
        if (chosen == &MENU_SUB(i))
            MENU_SUB_Click(i);
}

// The menu opens at the mouse pointer when the button was clicked, and under
// the button when it was pressed from the keyboard with the pointer elsewhere.
QPoint FrmMain::menuPosition(const Control& button) const {
    const QWidget* widget = button.widget();
    const QPoint pointer = QCursor::pos();
    if (widget->rect().contains(widget->mapFromGlobal(pointer)))
        return pointer;
    return widget->mapToGlobal(QPoint(0, widget->height()));
}

void FrmMain::MENU_SUB_Click(int index) {
    const QAction& entry = MENU_SUB(index);
    SelectedItem = static_cast<std::int16_t>(entry.data().toString().toInt());
    SubItemName = entry.text().toStdString();
    ReloadPending = -1;
    if (openMaterials_)
        openMaterials_(this);
}

void FrmMain::Label4_Click() {
    // A window of its own, not owned by the main window: owned, it would stay
    // on top of the main window and cover "退  出". The main window closes it.
    dialogs::ui::ShowHelpWindow(help_, nullptr);
}

void FrmMain::Command2_Click() {
    close();
}

void FrmMain::Form_Unload() {
    if (std::exchange(unloaded_, true))
        return;
    if (!WorkManifestPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove(platform::PathFromUtf8(WorkManifestPath), ignored);
    }
    if (TemplateConnection) {
        TemplateConnection->Close();
        TemplateConnection.reset();
    }
    if (help_)
        help_->close();
    emit unloaded();
}

void FrmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    TwipForm::closeEvent(event);
}

} // namespace startup::ui
