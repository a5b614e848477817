#include "fieldforms/ui/XZJBTab.h"

#include "fieldforms/field_entries.h"
#include "fieldforms/field_queries.h"
#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "twip/ui/error_barrier.h"
#include "util/frmutil.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace fieldforms::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;
using twip::ui::TwipRect;

const QString kLabel1 = QStringLiteral("Label1");
const QString kLabel2 = QStringLiteral("Label2");
const QString kText1 = QStringLiteral("Text1");
const QString kCombo1 = QStringLiteral("Combo1");
const QString kLineV = QStringLiteral("LineV");
const QString kLineH = QStringLiteral("LineH");
const QString kArrays[] = {kLabel1, kLabel2, kText1, kCombo1, kLineH, kLineV};

const QColor kHintColor(0x80, 0, 0);           // &H00000080
const QColor kRequiredColor(0xFF, 0, 0);       // &H000000FF
const QColor kInputColor(0xE0, 0xE0, 0xE0);    // &H00E0E0E0
const QColor kReadOnlyColor(0xF0, 0xF0, 0xF0); // &H00F0F0F0
constexpr int kComboHeight = 300;              // the height of the list's font
// Index of a Text1 or Combo1 element, kept on its widget.
const char* const kIndexProperty = "quillorIndex";

using platform::ui::Q;
using platform::ui::S;

int Twips(std::int64_t value) {
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw LayoutError("表格超出可显示的范围");
    return static_cast<int>(value);
}

TwipRect Rect(const TwipBox& box) {
    return {Twips(box.left), Twips(box.top), Twips(box.width), Twips(box.height)};
}

// Lets FillFromDictionary fill a Combo1 element.
class ComboList final : public util::ListControl {
  public:
    explicit ComboList(Control& combo) : combo_(combo) {}
    void Clear() override { combo_.clearItems(); }
    void AddItem(const std::string& text) override { combo_.addItem(Q(text)); }

  private:
    Control& combo_;
};

QColor ButtonTextColor() {
    return QApplication::palette().color(QPalette::ButtonText);
}

} // namespace

XZJBTab::XZJBTab(QWidget* parent) : TwipForm(parent) {
    setObjectName(QStringLiteral("XZJBTab"));
    setCaption(QStringLiteral("项目基本信息表"));
    setClientSize(kFormClientWidth, kFormClientHeight);
    createControls();
}

XZJBTab::~XZJBTab() = default;

void XZJBTab::createControls() {
    Control& hint = add(ControlKind::Label, QStringLiteral("Label4"), {180, 180, 5000, 200});
    hint.setText(QStringLiteral("提示：不可编辑内容应在【行政审批申请书】编辑。"));
    hint.setForeColor(kHintColor);
    hint.setAutoSize(true);

    const QString captions[] = {QStringLiteral("保 存"), QStringLiteral("退 出")};
    for (int i = 0; i < 2; ++i) {
        Control& button = add(ControlKind::CommandButton, QStringLiteral("Command1"),
                              {i == 0 ? 5370 : 6690, 90, 910, 375}, nullptr, i);
        button.setText(captions[i]);
        button.setOnClick([this, i] { Command1_Click(i); });
    }

    Control& picture =
        add(ControlKind::PictureBox, QStringLiteral("Pic2"),
            {kPictureLeft, kPictureTop, kPictureWidth, kDesignedPictureHeight}, nullptr, 0);
    picture.setBackColor(Qt::white);

    Control& title =
        add(ControlKind::Label, QStringLiteral("Label5"), {0, 210, 8145, 375}, &picture);
    title.setFont(FontSpec{QStringLiteral("楷体_GB2312"), 18.0, true});
    title.setAlignment(TextAlign::Center);
    title.setText(QStringLiteral("项目基本信息表"));

    add(ControlKind::Shape, QStringLiteral("Shape1"),
        {kFrameLeft, kFrameTop, kFrameWidth, kDesignedFrameHeight}, &picture);

    for (const QString& name : {kLabel1, kLabel2}) {
        Control& label =
            add(ControlKind::Label, name, {kFrameLeft, kFrameTop, 1500, 200}, &picture, 0);
        label.setAlignment(TextAlign::Center);
    }
    Control& text =
        add(ControlKind::TextBox, kText1, {kFrameLeft, kFrameTop, 2190, 270}, &picture, 0);
    text.setBackColor(kInputColor);
    watchTextBox(text, 0);
    Control& combo = add(ControlKind::ComboBox, kCombo1,
                         {kFrameLeft, kFrameTop, 2190, kComboHeight}, &picture, 0);
    combo.setEditable(false);
    watchList(combo, 0);
    addLine(kLineV, {kFrameLeft, kFrameTop, kFrameLeft, kFrameTop}, &picture, 0);
    addLine(kLineH, {kFrameLeft, kFrameTop, kFrameLeft, kFrameTop}, &picture, 0);

    for (const QString& name : kArrays) {
        Control& first = control(name, 0);
        first.setTag(QStringLiteral("0"));
        first.setVisible(false);
    }
}

int XZJBTab::elementCount(const QString& array) const {
    return control(array, 0).tag().toInt();
}

std::string XZJBTab::ToolTipOf(const Control& input) {
    return input.widget() ? S(input.widget()->toolTip()) : std::string();
}

// ---- building ----

Control& XZJBTab::nextElement(const QString& array, int index) {
    Control& element = index == 0 ? control(array, 0) : load(array, index);
    control(array, 0).setTag(QString::number(index + 1));
    return element;
}

// Text boxes of long text take several lines; the others one. Element 0 is
// designed as a one-line box and is made anew when a long text takes it.
Control& XZJBTab::nextTextBox(int index, bool multiLine) {
    Control* box = find(kText1, index);
    const bool fits = box && (box->as<QPlainTextEdit>() != nullptr) == multiLine;
    if (!fits) {
        const TwipRect rect = control(kText1, 0).rect();
        Control& pictureBox = Pic2();
        if (box)
            unload(kText1, index);
        box = multiLine ? &addMultiLineTextBox(kText1, rect, &pictureBox, index)
                        : &add(ControlKind::TextBox, kText1, rect, &pictureBox, index);
        box->setBackColor(kInputColor);
        box->setVisible(false);
        watchTextBox(*box, index);
    }
    control(kText1, 0).setTag(QString::number(index + 1));
    return *box;
}

void XZJBTab::watchTextBox(Control& box, int index) {
    QWidget* widget = box.widget();
    widget->setProperty(kIndexProperty, index);
    widget->installEventFilter(this);
    if (auto* edit = box.as<QLineEdit>()) {
        connect(edit, &QLineEdit::textChanged, this, [this, index] { Text1_Change(index); });
    } else if (auto* edit = box.as<QPlainTextEdit>()) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this, index] { Text1_Change(index); });
    }
}

void XZJBTab::watchList(Control& list, int index) {
    QWidget* widget = list.widget();
    widget->setProperty(kIndexProperty, index);
    widget->installEventFilter(this);
    connect(list.as<QComboBox>(), &QComboBox::currentIndexChanged, this,
            [this, index] { Combo1_Click(index); });
}

void XZJBTab::placeLabel(Control& label, const FieldDefinition& row, const TwipBox& box) {
    label.setText(Q(row.caption));
    label.setRect(Rect(box));
}

void XZJBTab::setUpTextBox(Control& box, const FieldDefinition& row, const TwipBox& place) {
    box.setEnabled(true);
    box.setBackColor(kInputColor);
    const InputSetup setup =
        SetUpInput(row, [this](const std::string& column) { return ReadItemColumn(column); });
    if (!setup.enabled) {
        box.setEnabled(false);
        box.setBackColor(kReadOnlyColor);
    }
    box.widget()->setToolTip(Q(setup.toolTip));
    // A stored value longer than the limit is shown whole, never cut.
    const QString value = Q(setup.value);
    auto* line = box.as<QLineEdit>();
    // A line edit counts UTF-16 units; a long text counts as it is stored, a
    // line break as two characters, and refuses the excess where it is typed.
    const int shown = line ? static_cast<int>(value.size()) : twip::ui::StoredTextLength(value);
    const int limit = setup.maxLength > 0 ? std::max<int>(setup.maxLength, shown) : 0;
    if (line)
        line->setMaxLength(limit > 0 ? limit : 32767);
    else
        twip::ui::SetMultiLineLimit(box, limit);
    box.setText(value);
    box.setRect(Rect(place));
}

void XZJBTab::setUpList(Control& list, const FieldDefinition& row, const TwipBox& place) {
    const bool codes = ShowsCodes(row.name);
    ComboList filler(list);
    if (const std::optional<std::int16_t> number = DictionaryList(row))
        util::FillFromDictionary(*number, filler, codes ? 2 : 1);
    else
        list.clearItems();
    list.setEnabled(true);
    const InputSetup setup =
        SetUpInput(row, [this](const std::string& column) { return ReadItemColumn(column); });
    if (!setup.enabled)
        list.setEnabled(false);
    std::vector<std::string> entries;
    for (int i = 0; i < list.listCount(); ++i)
        entries.push_back(S(list.listItem(i)));
    list.setListIndex(FindListEntry(entries, setup.value, codes));
    list.widget()->setToolTip(Q(setup.toolTip));
    list.setRect({Twips(place.left), Twips(place.top), Twips(place.width), list.height()});
}

std::string XZJBTab::ReadItemColumn(const std::string& name) const {
    return fieldforms::ReadItemColumn(name);
}

void XZJBTab::BuildFieldForm() {
    const FieldSelection selection = ReadFieldSelection();
    const FormLayout layout = LayoutFieldForm(selection.rows, selection.count);
    const auto& rows = selection.rows;

    for (std::size_t i = 0; i < layout.labels.size(); ++i) {
        const FieldDefinition& row = rows[layout.labels[i].row];
        Control& label = nextElement(kLabel1, static_cast<int>(i));
        placeLabel(label, row, layout.labels[i].box);
        label.setAlignment(TextAlign::Center);
        label.setForeColor(row.required ? kRequiredColor : ButtonTextColor());
    }
    for (std::size_t i = 0; i < layout.captions.size(); ++i) {
        const FieldDefinition& row = rows[layout.captions[i].row];
        Control& caption = nextElement(kLabel2, static_cast<int>(i));
        placeLabel(caption, row, layout.captions[i].box);
        caption.setAlignment(row.alignment == 1   ? TextAlign::Right
                             : row.alignment == 2 ? TextAlign::Center
                                                  : TextAlign::Left);
    }
    for (std::size_t i = 0; i < layout.textBoxes.size(); ++i) {
        const FieldDefinition& row = rows[layout.textBoxes[i].row];
        Control& box = nextTextBox(static_cast<int>(i), row.kind == kLongText);
        setUpTextBox(box, row, layout.textBoxes[i].box);
    }
    for (std::size_t i = 0; i < layout.lists.size(); ++i) {
        const FieldDefinition& row = rows[layout.lists[i].row];
        setUpList(nextElement(kCombo1, static_cast<int>(i)), row, layout.lists[i].box);
    }
    for (std::size_t i = 0; i < layout.verticalLines.size(); ++i) {
        const TwipSegment& s = layout.verticalLines[i];
        nextElement(kLineV, static_cast<int>(i))
            .setLine({Twips(s.x1), Twips(s.y1), Twips(s.x2), Twips(s.y2)});
    }
    for (std::size_t i = 0; i < layout.horizontalLines.size(); ++i) {
        const TwipSegment& s = layout.horizontalLines[i];
        nextElement(kLineH, static_cast<int>(i))
            .setLine({Twips(s.x1), Twips(s.y1), Twips(s.x2), Twips(s.y2)});
    }
    setTabOrder(layout);

    int clientHeight = kFormClientHeight;
    if (layout.closed) {
        Shape1().setHeight(std::max(0, Twips(layout.closed->frame)));
        Pic2().setHeight(std::max(0, Twips(layout.closed->picture)));
        clientHeight = std::max(kPictureTop, Twips(layout.closed->window) - kTitleAndBorders);
    }
    fitToScreen(clientHeight);
}

// Tab order: the inputs in the order of their rows, then the two buttons.
void XZJBTab::setTabOrder(const FormLayout& layout) {
    std::vector<std::pair<std::size_t, QWidget*>> inputs;
    for (std::size_t i = 0; i < layout.textBoxes.size(); ++i)
        inputs.emplace_back(layout.textBoxes[i].row, Text1(static_cast<int>(i)).widget());
    for (std::size_t i = 0; i < layout.lists.size(); ++i)
        inputs.emplace_back(layout.lists[i].row, Combo1(static_cast<int>(i)).widget());
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<QWidget*> chain;
    for (const auto& input : inputs)
        chain.push_back(input.second);
    chain.push_back(Command1(0).widget());
    chain.push_back(Command1(1).widget());
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// A window taller than the screen's free height keeps the buttons and lets
// the drawing area scroll inside it; Pic2 keeps its full height, so that
// everything on it can still be printed.
void XZJBTab::fitToScreen(int clientHeight) {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int available =
        screen ? twip::ui::PixelsToTwips(screen->availableGeometry().height()) - kTitleAndBorders
               : std::numeric_limits<int>::max();
    if (clientHeight <= available) {
        setClientSize(kFormClientWidth, clientHeight);
        return;
    }
    const int viewHeight = std::max(available, kPictureTop + 1500) - kPictureTop;
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("Pic2Scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setWidgetResizable(false);
    scroll_->setWidget(Pic2().widget());
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    scroll_->setGeometry(
        twip::ui::TwipsToPixels(kPictureLeft), twip::ui::TwipsToPixels(kPictureTop),
        twip::ui::TwipsToPixels(kPictureWidth) + bar, twip::ui::TwipsToPixels(viewHeight));
    scroll_->show();
    setClientSize(kFormClientWidth + twip::ui::PixelsToTwips(bar), kPictureTop + viewHeight);
}

void XZJBTab::ShowFieldControls() {
    for (const QString& name : kArrays) {
        const int count = elementCount(name);
        for (int i = 0; i < count; ++i)
            control(name, i).setVisible(true);
    }
}

void XZJBTab::Form_Load() {
    unloaded_ = false;
    BuildFieldForm();
    centreOnScreen();
    ShowFieldControls();
    dataChanged_ = false;
}

// ---- events ----

void XZJBTab::Command1_Click(int index) {
    if (index == 0) {
        twip::ui::Guarded("保存项目基本信息", [this] {
            if (CheckFields())
                SaveFields();
        });
    } else if (index == 1) {
        done(QDialog::Rejected);
    }
}

void XZJBTab::Text1_Change(int) {
    dataChanged_ = true;
}

void XZJBTab::Combo1_Click(int) {
    dataChanged_ = true;
}

void XZJBTab::Text1_KeyDown(int, int key) {
    if (key == Qt::Key_Up) {
        focusNextPrevChild(false);
    } else if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
        focusNextPrevChild(true);
    }
}

bool XZJBTab::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && event->type() == QEvent::KeyPress &&
        qobject_cast<QComboBox*>(widget) == nullptr) {
        const auto* key = static_cast<QKeyEvent*>(event);
        Text1_KeyDown(widget->property(kIndexProperty).toInt(), key->key());
    } else if (widget && event->type() == QEvent::FocusIn && scroll_) {
        scroll_->ensureWidgetVisible(widget);
    }
    return TwipForm::eventFilter(watched, event);
}

// ---- checking and saving ----

namespace {

std::vector<FieldEntry> Entries(const XZJBTab& form, const QString& array, int count) {
    std::vector<FieldEntry> entries;
    for (int i = 0; i < count; ++i) {
        const Control& input = form.control(array, i);
        const bool chosen = input.kind() != ControlKind::ComboBox || input.listIndex() >= 0;
        entries.push_back({XZJBTab::ToolTipOf(input), chosen ? S(input.text()) : std::string()});
    }
    return entries;
}

} // namespace

bool XZJBTab::CheckFields() {
    const std::string messages = CheckFieldEntries(Entries(*this, kText1, elementCount(kText1)),
                                                   Entries(*this, kCombo1, elementCount(kCombo1)));
    if (messages.empty())
        return true;
    platform::Notify(messages, "错误提示", platform::MsgIcon::Critical);
    return false;
}

bool XZJBTab::SaveFields() {
    const int boxes = elementCount(kText1);
    const SaveResult result = SaveFieldEntries(Entries(*this, kText1, boxes),
                                               Entries(*this, kCombo1, elementCount(kCombo1)));
    if (!result.saved) {
        platform::Notify(SaveFailureMessage(result), "提示", platform::MsgIcon::Information);
        return false;
    }
    for (int i = 0; i < boxes && static_cast<std::size_t>(i) < result.shownTexts.size(); ++i) {
        const QString shown = Q(result.shownTexts[static_cast<std::size_t>(i)]);
        if (Text1(i).text() != shown)
            Text1(i).setText(shown);
    }
    platform::Notify("保存成功...", "提示", platform::MsgIcon::Information);
    dataChanged_ = false;
    return true;
}

// ---- closing ----

bool XZJBTab::Form_Unload() {
    if (dataChanged_) {
        const platform::MsgAnswer answer = platform::CurrentPrompter().message(
            "内容已经改变，退出将不保存。确认吗？", "提示", platform::MsgIcon::Question,
            platform::MsgButtons::YesNo);
        if (answer != platform::MsgAnswer::Yes)
            return false;
    }
    destroyCreatedElements();
    unloaded_ = true;
    return true;
}

// Every element created by the build goes; element 0 of each array is hidden
// again with Tag "0", as designed.
void XZJBTab::destroyCreatedElements() {
    for (const QString& name : kArrays) {
        for (int index : arrayIndexes(name))
            if (index > 0)
                unload(name, index);
        Control& first = control(name, 0);
        first.setTag(QStringLiteral("0"));
        first.setVisible(false);
    }
}

void XZJBTab::done(int result) {
    if (!unloaded_ && !Form_Unload())
        return;
    TwipForm::done(result);
}

void ShowBasicInformationForm(QWidget* parent) {
    XZJBTab window(parent);
    if (!twip::ui::Guarded("打开项目基本信息表", [&window] { window.Form_Load(); }))
        return;
    window.exec();
}

} // namespace fieldforms::ui
