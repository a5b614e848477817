#include "printing/ui/Fj_List.h"

#include "materials/manifest.h"
#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "printing/materials_list.h"
#include "printing/ui/twip_print_controls.h"
#include "startup/mainbas.h"
#include "twip/ui/error_barrier.h"
#include "twip/ui/qt_printer.h"

#include <QKeyEvent>

#include <algorithm>

namespace printing::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;

using platform::ui::Q;

constexpr int kPictureIndex = 1;
constexpr float kListScaleY = 1.45f;

// Table geometry in twips, inside Pic2.
constexpr int kTableLeft = 210;
constexpr int kTableRight = 7980;
constexpr int kTableTop = 1950;
constexpr int kTableBottom = 9840;
constexpr int kRowStep = 270;
// Rows from the 21st on sit 30 twips higher than the first twenty.
constexpr int kUpperRows = 20;

int RowTop(int row) {
    return (row < kUpperRows ? 2370 : 2340) + kRowStep * row;
}

int SeparatorY(int k) {
    return (k < kUpperRows ? 2580 : 2550) + kRowStep * k;
}

const FontSpec kHeaderFont{QStringLiteral("宋体"), 10.5};
const FontSpec kTitleFont{QStringLiteral("楷体_GB2312"), 18, true};

const char* const kPageBreakFailed = "打印机不能开始新的一页，清单只打印了前 %1 页。";

} // namespace

Fj_List::Fj_List(QWidget* parent) : TwipForm(parent) {
    setObjectName(QStringLiteral("Fj_List"));
    setCaption(QStringLiteral("申请材料清单"));
    setClientSize(8265, 10650);
    Control& pic = add(ControlKind::PictureBox, QStringLiteral("Pic2"), {30, 30, 8205, 10035},
                       nullptr, kPictureIndex);
    pic.setBackColor(Qt::white);
    pic.setBorderStyle(1);
    createHeader(pic);
    createTable(pic);
    createButtons();
    showPage(0);
}

Fj_List::~Fj_List() = default;

// ---- controls ----

void Fj_List::createHeader(Control& pic) {
    Control& title = add(ControlKind::Label, QStringLiteral("Label2"), {60, 60, 8085, 375}, &pic);
    title.setFont(kTitleFont);
    title.setAlignment(TextAlign::Center);
    title.setText(QStringLiteral("申报材料清单(电子文档)"));

    struct Caption {
        int index;
        const char* text;
        twip::ui::TwipRect rect;
        TextAlign align;
    };
    const Caption captions[] = {
        {3, "申请项目名称:", {210, 660, 1515, 195}, TextAlign::Left},
        {7, "申请人(单位):", {210, 990, 1515, 195}, TextAlign::Left},
        {9, "申请事项名称:", {210, 1320, 1515, 195}, TextAlign::Left},
        {33, "资料填报日期:", {210, 1650, 1485, 195}, TextAlign::Left},
        {28, "序 号", {210, 2040, 1035, 195}, TextAlign::Center},
        {27, "申报材料名称(标题)", {1200, 2040, 6435, 195}, TextAlign::Center},
    };
    for (const Caption& c : captions) {
        Control& label = add(ControlKind::Label, QStringLiteral("Label1"), c.rect, &pic, c.index);
        label.setFont(kHeaderFont);
        label.setAlignment(c.align);
        label.setText(QString::fromUtf8(c.text));
    }
    for (int i = 0; i < 4; ++i) {
        Control& value = add(ControlKind::Label, QStringLiteral("T1LAB"),
                             {1770, 630 + 330 * i, 6135, 270}, &pic, i);
        value.setFont(kHeaderFont);
    }
    T1LAB(3).setTag(QStringLiteral("D")); // printed as 2008年5月1日
    for (int i = 0; i < 4; ++i)
        addLine(QStringLiteral("Line1"), {1740, 870 + 330 * i, 7950, 870 + 330 * i}, &pic, i);
}

void Fj_List::createTable(Control& pic) {
    for (int i = 0; i < kListRowsPerPage; ++i) {
        add(ControlKind::Label, QStringLiteral("XHLab"), {210, RowTop(i), 1005, 210}, &pic, i)
            .setAlignment(TextAlign::Center);
        add(ControlKind::Label, QStringLiteral("FJLab"), {1290, RowTop(i), 6615, 210}, &pic, i);
    }
    add(ControlKind::Shape, QStringLiteral("Shape1"),
        {kTableLeft, kTableTop, kTableRight - kTableLeft, 7905}, &pic, 0);
    addLine(QStringLiteral("Line2"), {1230, kTableTop, 1230, kTableBottom}, &pic, 13);
    // Line3(0) under the column headings, Line3(k + 1) under row k.
    addLine(QStringLiteral("Line3"), {kTableLeft, 2310, kTableRight, 2310}, &pic, 0);
    for (int k = 0; k < kListRowsPerPage - 1; ++k)
        addLine(QStringLiteral("Line3"), {kTableLeft, SeparatorY(k), kTableRight, SeparatorY(k)},
                &pic, k + 1);
}

void Fj_List::createButtons() {
    struct Button {
        int index;
        const char* caption;
        twip::ui::TwipRect rect;
    };
    const Button buttons[] = {{2, "设 置...", {150, 10200, 1035, 315}},
                              {0, "打 印", {5340, 10200, 1050, 315}},
                              {1, "退 出", {6840, 10200, 990, 315}},
                              {3, "预 览", {4380, 10200, 900, 315}}};
    for (const Button& b : buttons) {
        Control& button =
            add(ControlKind::CommandButton, QStringLiteral("Command1"), b.rect, nullptr, b.index);
        button.setText(QString::fromUtf8(b.caption));
        button.setOnClick([this, i = b.index] { Command1_Click(i); });
    }
    // Paging, shown only for a list longer than one table.
    const Button pages[] = {{0, "上一页", {1260, 10200, 720, 315}},
                            {1, "下一页", {3540, 10200, 720, 315}}};
    for (const Button& b : pages) {
        Control& button =
            add(ControlKind::CommandButton, QStringLiteral("PageBut"), b.rect, nullptr, b.index);
        button.setText(QString::fromUtf8(b.caption));
        button.setOnClick([this, i = b.index] { PageBut_Click(i); });
    }
    add(ControlKind::Label, QStringLiteral("PageLab"), {2010, 10260, 1500, 195})
        .setAlignment(TextAlign::Center);
    // Tab goes through the buttons from left to right.
    QWidget::setTabOrder(Command1(2).widget(), PageBut(0).widget());
    QWidget::setTabOrder(PageBut(0).widget(), PageBut(1).widget());
    QWidget::setTabOrder(PageBut(1).widget(), Command1(3).widget());
    QWidget::setTabOrder(Command1(3).widget(), Command1(0).widget());
    QWidget::setTabOrder(Command1(0).widget(), Command1(1).widget());
}

// ---- loading ----

void Fj_List::Form_Load() {
    placeUpperThird();
    LoadListHeader();
    LoadListFiles(WorkManifestPath);
}

void Fj_List::LoadListHeader() {
    const ListHeader header = printing::LoadListHeader();
    T1LAB(0).setText(Q(header.projectName));
    T1LAB(1).setText(Q(header.applicant));
    T1LAB(2).setText(Q(header.itemName));
    T1LAB(3).setText(Q(header.fillingDate));
}

void Fj_List::LoadListFiles(const std::string& path) {
    titles_ = materials::ReadLinkedTitles(path).value_or(std::vector<std::string>());
    showPage(0);
}

// ---- pages ----

int Fj_List::pageCount() const {
    return ListPageCount(titles_.size());
}

void Fj_List::fillRows(int page) {
    const std::vector<ListRow> rows = ListPage(titles_, page);
    for (int i = 0; i < kListRowsPerPage; ++i) {
        const auto at = static_cast<std::size_t>(i);
        XHLab(i).setText(at < rows.size() ? Q(rows[at].number) : QString());
        FJLab(i).setText(at < rows.size() ? Q(rows[at].title) : QString());
    }
}

void Fj_List::showPage(int page) {
    const int pages = pageCount();
    page_ = std::clamp(page, 0, pages - 1);
    fillRows(page_);
    const bool paged = pages > 1;
    PageLab().setText(paged ? QStringLiteral("第 %1 页，共 %2 页").arg(page_ + 1).arg(pages)
                            : QString());
    for (int i : {0, 1})
        PageBut(i).setVisible(paged);
    PageBut(0).setEnabled(page_ > 0);
    PageBut(1).setEnabled(page_ + 1 < pages);
}

void Fj_List::PageBut_Click(int index) {
    showPage(index == 0 ? page_ - 1 : page_ + 1);
}

void Fj_List::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        PageBut_Click(event->key() == Qt::Key_PageUp ? 0 : 1);
        return;
    }
    TwipForm::keyPressEvent(event);
}

// ---- buttons ----

twip::Printer& Fj_List::printer() {
    if (!printer_)
        printer_ = std::make_unique<twip::ui::QtPrinter>();
    return *printer_;
}

void Fj_List::usePrinter(std::unique_ptr<twip::Printer> printer) {
    printer_ = std::move(printer);
}

void Fj_List::print() {
    const int shown = page_;
    const int pages = pageCount();
    const int printed = PrintTwipFormPages(*this, kPictureIndex, kListScaleY, printer(), pages,
                                           [this](int page) { fillRows(page); });
    showPage(shown);
    if (printed > 0 && printed < pages)
        platform::Notify(QString::fromUtf8(kPageBreakFailed).arg(printed).toStdString(), "错误",
                         platform::MsgIcon::Exclamation);
}

// The pages that print() would print, in the preview window of the prompter.
void Fj_List::preview() {
    platform::PreviewRequest request;
    request.title = "申请材料清单";
    request.pdfName = "申请材料清单.pdf";
    request.printer = &printer();
    request.draw = [this](twip::Printer& target) {
        const int shown = page_;
        const int pages = pageCount();
        const int drawn = DrawTwipFormPages(*this, kPictureIndex, kListScaleY, target, pages,
                                            [this](int page) { fillRows(page); });
        showPage(shown);
        return drawn == pages;
    };
    request.print = [this] { print(); };
    platform::CurrentPrompter().printPreview(request);
}

void Fj_List::Command1_Click(int index) {
    switch (index) {
    case 0:
        print();
        break;
    case 3:
        preview();
        break;
    case 1:
        close();
        break;
    case 2:
        // Cancelling the set-up leaves the printer as it was, without a word.
        // The printer chosen stays the one printed on until the program ends,
        // in this window and the others.
        if (platform::CurrentPrompter().printerSetup(printer()))
            if (auto* chosen = dynamic_cast<twip::ui::QtPrinter*>(&printer()))
                chosen->rememberAsChosen();
        break;
    default:
        break;
    }
}

// ---- entry point ----

void ShowMaterialsList(QWidget* parent) {
    if (SelectedItem < 0 || static_cast<std::size_t>(SelectedItem) >= ItemTable.size())
        return;
    Fj_List window(parent);
    if (!twip::ui::Guarded("打开申请材料清单", [&] { window.Form_Load(); }))
        return;
    window.exec();
}

} // namespace printing::ui
