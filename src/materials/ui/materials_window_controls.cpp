// The controls of the materials window: its frames, grids, buttons and
// labels, created in the order that Tab follows.

#include "materials/ui/FrmFjgl.h"
#include "materials/ui/materials_window_grid.h"

#include <QPlainTextEdit>
#include <QStringList>

#include <iterator>

namespace materials::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;

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

} // namespace

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

} // namespace materials::ui
