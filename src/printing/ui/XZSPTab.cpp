#include "printing/ui/XZSPTab.h"

#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "printing/application_form.h"
#include "printing/ui/twip_print_controls.h"
#include "startup/mainbas.h"
#include "twip/ui/error_barrier.h"
#include "util/frmutil.h"
#include "util/ui/qt_adapters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>

#include <algorithm>

namespace printing::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::FontSpec;
using twip::ui::TextAlign;
using twip::ui::TwipRect;

using platform::ui::Q;
using platform::ui::S;

const ApplicationItem& CurrentItem() {
    return ItemTable.at(static_cast<std::size_t>(SelectedItem));
}

QColor ButtonTextColor() {
    return QApplication::palette().color(QPalette::ButtonText);
}

const FontSpec kInputFont{QStringLiteral("宋体"), 10.5, false};
const FontSpec kLabelFont{QStringLiteral("仿宋_GB2312"), 10.5, false};
const FontSpec kSideFont{QStringLiteral("宋体"), 10.5, true};
const FontSpec kTitleFont{QStringLiteral("楷体_GB2312"), 21.75, true};

const QString kText1 = QStringLiteral("Text1");
const QString kText2 = QStringLiteral("Text2");
const QString kLabel1 = QStringLiteral("Label1");
const QString kLabel2 = QStringLiteral("Label2");

constexpr int kIndividualRequired = 4; // 个人姓名 to 个人联系电话
constexpr int kUnitRequired = 4;       // 单位名称 to 联系电话
constexpr float kPrintScaleY = 1.65f;

// One row of the applicant table: the row label and its input. The label
// stands 30 twips below the top of its input.
struct InputRow {
    const char* caption;
    int labelLeft;
    int labelWidth;
    TwipRect input;
    int maxLength; // 0: unlimited
    bool centred;
};

const InputRow kIndividualRows[kIndividualInputs] = {
    {"姓    名", 540, 1290, {1860, 1260, 1425, 270}, 20, true},
    {"身份证号码", 3330, 1575, {4950, 1260, 2985, 270}, 20, false},
    {"住    址", 540, 1290, {1860, 1620, 6075, 270}, 200, false},
    {"联系电话", 540, 1290, {1860, 1980, 3855, 270}, 100, false},
    {"邮  编", 5760, 1005, {6810, 1980, 1125, 270}, 6, true},
    {"电子邮箱", 540, 1290, {1860, 2340, 6075, 270}, 100, false},
};

const InputRow kUnitRows[kUnitInputs] = {
    {"单位名称", 540, 1290, {1860, 2700, 3855, 270}, 200, false},
    {"法人代表", 5760, 1005, {6810, 2700, 1125, 270}, 0, true},
    {"单位地址", 540, 1290, {1860, 3060, 6075, 270}, 200, false},
    {"联系电话", 540, 1290, {1860, 3420, 3855, 270}, 100, false},
    {"邮  编", 5820, 1005, {6810, 3420, 1125, 270}, 6, true},
    {"电子邮箱", 540, 1290, {1860, 3780, 6075, 270}, 100, false},
    {"委托代理人", 540, 1290, {1860, 4140, 1425, 270}, 20, true},
    {"身份证号码", 3330, 1575, {4950, 4140, 2985, 270}, 20, false},
    {"住    址", 540, 1290, {1860, 4500, 6075, 270}, 200, false},
    {"联系电话", 540, 1290, {1860, 4860, 3855, 270}, 100, false},
    {"邮  编", 5820, 1005, {6810, 4860, 1125, 270}, 6, true},
    {"电子邮箱", 540, 1290, {1860, 5220, 6075, 270}, 100, false},
};

// Number of characters (code points) of a text.
int CharCount(const QString& text) {
    int count = 0;
    for (int i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    return count;
}

// The maximum length of a text box, in characters, enforced on what the user
// types or pastes: what goes beyond it is dropped. A longer text that the
// program puts in (a value stored earlier, a project name made from the unit
// name) is shown and kept whole, where a plain maximum length of the line
// edit would cut it and the next save would store it cut.
class TypingLimit final : public QValidator {
  public:
    TypingLimit(int maxChars, QObject* parent) : QValidator(parent), max_(maxChars) {}

    State validate(QString& input, int& pos) const override {
        const int count = CharCount(input);
        if (!programText_ && count > max_ && count > accepted_) {
            int excess = count - std::max(max_, accepted_);
            int start = std::clamp(pos, 0, static_cast<int>(input.size()));
            const int end = start;
            while (excess > 0 && start > 0) {
                --start;
                if (start > 0 && input[start].isLowSurrogate() &&
                    input[start - 1].isHighSurrogate())
                    --start;
                --excess;
            }
            input.remove(start, end - start);
            pos = start;
        }
        accepted_ = CharCount(input);
        return Acceptable;
    }

    void setProgramText(QLineEdit& edit, const QString& text) {
        programText_ = true;
        edit.setText(text);
        programText_ = false;
        accepted_ = CharCount(edit.text());
    }

  private:
    int max_;
    mutable int accepted_ = 0;
    bool programText_ = false;
};

} // namespace

const QColor XZSPTab::EditableColor = QColor(224, 224, 224);
const QColor XZSPTab::DisabledColor = QColor(240, 240, 240);
const QColor XZSPTab::RequiredColor = QColor(255, 0, 0);

XZSPTab::XZSPTab(QWidget* parent) : TwipForm(parent) {
    setObjectName(QStringLiteral("XZSPTab"));
    setCaption(QStringLiteral("行政审批申请书"));
    setClientSize(8205, 8820);
    createControls();
    createTabOrder();
    connectHandlers();
}

XZSPTab::~XZSPTab() = default;

// ---- controls ----

namespace {

Control& AddLabel(XZSPTab& form, Control* pic2, const QString& name, int index, const char* caption,
                  const TwipRect& rect, const FontSpec& font = kLabelFont,
                  TextAlign align = TextAlign::Center) {
    Control& label = form.add(ControlKind::Label, name, rect, pic2, index);
    label.setFont(font);
    label.setAlignment(align);
    label.setForeColor(ButtonTextColor());
    label.setText(QString::fromUtf8(caption));
    return label;
}

Control& AddInput(XZSPTab& form, Control* pic2, const QString& name, int index,
                  const TwipRect& rect, const char* column, int maxLength, bool centred) {
    Control& input = form.add(ControlKind::TextBox, name, rect, pic2, index);
    input.setFont(kInputFont);
    input.setBackColor(XZSPTab::EditableColor);
    input.setAlignment(centred ? TextAlign::Center : TextAlign::Left);
    input.widget()->setToolTip(QString::fromUtf8(column));
    if (maxLength > 0)
        input.as<QLineEdit>()->setValidator(new TypingLimit(maxLength, input.widget()));
    return input;
}

} // namespace

void XZSPTab::createControls() {
    Control& hint = add(ControlKind::Label, QStringLiteral("Label4"), {210, 210, 4785, 195});
    hint.setText(QStringLiteral("提示：标红内容必须填写。"));
    hint.setForeColor(QColor(128, 0, 0));
    const char* captions[] = {"保 存", "打 印", "退 出", "预 览"};
    const int lefts[] = {4650, 5850, 7080, 3540};
    for (int i = 0; i < 4; ++i) {
        Control& button = add(ControlKind::CommandButton, QStringLiteral("Command1"),
                              {lefts[i], 120, 910, 375}, nullptr, i);
        button.setText(QString::fromUtf8(captions[i]));
        button.setOnClick([this, i] { Command1_Click(i); });
    }

    Control& pic2 =
        add(ControlKind::PictureBox, QStringLiteral("Pic2"), {0, 600, 8205, 8220}, nullptr, 0);
    pic2.setBackColor(Qt::white);
    AddLabel(*this, &pic2, QStringLiteral("Label5"), -1, "行政审批申请书", {0, 240, 8145, 465},
             kTitleFont);
    Control& unit =
        add(ControlKind::OptionButton, QStringLiteral("Option1"), {330, 930, 1200, 240}, &pic2, 0);
    unit.setText(QStringLiteral("单位申请"));
    Control& individual =
        add(ControlKind::OptionButton, QStringLiteral("Option1"), {1800, 930, 1200, 240}, &pic2, 1);
    individual.setText(QStringLiteral("个人申请"));
    for (Control* option : {&unit, &individual}) {
        option->setFont(kInputFont);
        option->setBackColor(Qt::white);
    }
    createApplicantRows();
    createLowerRows();
    createRuling();
}

void XZSPTab::createApplicantRows() {
    Control* pic2 = &control(QStringLiteral("Pic2"), 0);
    for (int i = 0; i < kIndividualInputs; ++i) {
        const InputRow& row = kIndividualRows[i];
        AddLabel(*this, pic2, kLabel1, i, row.caption,
                 {row.labelLeft, row.input.top + 30, row.labelWidth, 195});
        AddInput(*this, pic2, kText1, i, row.input, kIndividualColumns[static_cast<std::size_t>(i)],
                 row.maxLength, row.centred);
    }
    for (int i = 0; i < kUnitInputs; ++i) {
        const InputRow& row = kUnitRows[i];
        AddLabel(*this, pic2, kLabel2, i, row.caption,
                 {row.labelLeft, row.input.top + 30, row.labelWidth, 195});
        AddInput(*this, pic2, kText2, i, row.input, kUnitColumns[static_cast<std::size_t>(i)],
                 row.maxLength, row.centred);
    }
    AddLabel(*this, pic2, kLabel1, 7, "个人申请", {240, 1500, 225, 855}, kSideFont,
             TextAlign::Left);
    AddLabel(*this, pic2, kLabel1, 6, "单位申请", {240, 3630, 225, 855}, kSideFont,
             TextAlign::Left);
}

void XZSPTab::createLowerRows() {
    Control* pic2 = &control(QStringLiteral("Pic2"), 0);
    // The project name and the region are required whatever the applicant.
    AddLabel(*this, pic2, kLabel1, 9, "行政审批项目名称", {150, 5610, 2100, 195})
        .setForeColor(RequiredColor);
    AddInput(*this, pic2, QStringLiteral("Text3"), -1, {2310, 5580, 5625, 270}, kProjectNameColumn,
             200, false);
    AddLabel(*this, pic2, kLabel1, 8, "行政审批申请项目", {150, 5970, 2100, 195});
    AddLabel(*this, pic2, QStringLiteral("Label3"), -1, "", {2310, 5940, 5535, 255}, kInputFont,
             TextAlign::Left);
    AddLabel(*this, pic2, kLabel1, 10, "行 政 区 域", {150, 6330, 2100, 195})
        .setForeColor(RequiredColor);
    Control& combo =
        add(ControlKind::ComboBox, QStringLiteral("Combo1"), {2310, 6270, 3465, 330}, pic2);
    combo.setEditable(false);
    combo.setFont(kInputFont);
    combo.setTag(QStringLiteral("Y"));
    combo.widget()->setToolTip(QString::fromUtf8(kRegionColumn));

    AddLabel(*this, pic2, kLabel1, 11, "审批结果通知和接收方式", {510, 6750, 1290, 435});
    struct Way {
        const char* caption;
        int left;
        int top;
    };
    const Way ways[kReceiptWays] = {{"短信通知", 2430, 6720},
                                    {"电话通知", 3810, 6720},
                                    {"网上自查", 5280, 6720},
                                    {"邮 寄", 2430, 7020},
                                    {"自 取", 3810, 7020}};
    for (int k = 0; k < kReceiptWays; ++k) {
        Control& box = add(ControlKind::CheckBox, QStringLiteral("Check1"),
                           {ways[k].left, ways[k].top, 1305, 225}, pic2, k);
        box.setFont(kInputFont);
        box.setBackColor(Qt::white);
        box.setText(QString::fromUtf8(ways[k].caption));
    }
    AddLabel(*this, pic2, kLabel1, 12, "所付申请材料目录", {150, 7500, 2070, 225});
    AddLabel(*this, pic2, kLabel1, 13, "详见 申报资料清单", {3750, 7530, 2400, 225}, kInputFont,
             TextAlign::Left);
}

void XZSPTab::createRuling() {
    Control* pic2 = &control(QStringLiteral("Pic2"), 0);
    add(ControlKind::Shape, QStringLiteral("Shape1"), {150, 1200, 7875, 6795}, pic2);
    // Rows of the applicant groups start at the group column (x 540); the
    // rows between the groups and below them cross the whole table.
    const int innerRows[] = {1560, 1920, 2280, 3000, 3360, 3720, 4080, 4440, 4800, 5160};
    const int fullRows[] = {2640, 5520, 6240, 6600, 7290, 5880};
    int index = 0;
    for (int y : innerRows)
        addLine(QStringLiteral("Line2"), {540, y, 8010, y}, pic2, index++);
    for (int y : fullRows)
        addLine(QStringLiteral("Line2"), {150, y, 8010, y}, pic2, index++);

    struct Rule {
        int x;
        int y1;
        int y2;
    };
    const Rule rules[] = {
        {540, 1200, 5520},  {1800, 1200, 5520}, {2250, 5520, 7980}, {3330, 1200, 1560},
        {3330, 4080, 4440}, {4890, 1200, 1560}, {4890, 4080, 4440}, {5760, 1920, 2280},
        {5760, 2640, 3000}, {5760, 3360, 3720}, {5760, 4800, 5160}, {6750, 1920, 2280},
        {6750, 2640, 3000}, {6750, 3360, 3720}, {6750, 4800, 5160},
    };
    index = 0;
    for (const Rule& rule : rules)
        addLine(QStringLiteral("Line1"), {rule.x, rule.y1, rule.x, rule.y2}, pic2, index++);
}

// Text1(0)..(5), Text2(0)..(11), Text3, Combo1, the option buttons, Check1(0)..(4),
// then the buttons.
void XZSPTab::createTabOrder() {
    std::vector<QWidget*> chain;
    for (int i = 0; i < kIndividualInputs; ++i)
        chain.push_back(Text1(i).widget());
    for (int i = 0; i < kUnitInputs; ++i)
        chain.push_back(Text2(i).widget());
    chain.push_back(Text3().widget());
    chain.push_back(Combo1().widget());
    chain.push_back(Option1(0).widget());
    chain.push_back(Option1(1).widget());
    for (int k = 0; k < kReceiptWays; ++k)
        chain.push_back(Check1(k).widget());
    // The buttons as they stand, left to right: "预 览", "保 存", "打 印", "退 出".
    for (int i : {3, 0, 1, 2})
        chain.push_back(Command1(i).widget());
    for (std::size_t i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void XZSPTab::connectHandlers() {
    const auto changed = [this] { dataChanged = true; };
    for (int i = 0; i < kIndividualInputs; ++i)
        connect(Text1(i).as<QLineEdit>(), &QLineEdit::textChanged, this, changed);
    for (int i = 0; i < kUnitInputs; ++i)
        connect(Text2(i).as<QLineEdit>(), &QLineEdit::textChanged, this,
                [this, i] { Text2_Change(i); });
    connect(Text3().as<QLineEdit>(), &QLineEdit::textChanged, this, changed);
    connect(Combo1().as<QComboBox>(), &QComboBox::currentIndexChanged, this, changed);
    for (int k = 0; k < kReceiptWays; ++k)
        connect(Check1(k).as<QCheckBox>(), &QCheckBox::toggled, this, changed);
    for (int i = 0; i < 2; ++i)
        connect(Option1(i).as<QRadioButton>(), &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);
}

// ---- opening ----

void XZSPTab::Form_Load() {
    placeUpperThird();
    LoadApplication();
    dataChanged = false; // loading fired the change handlers
}

void XZSPTab::LoadApplication() {
    auto* combo = Combo1().as<QComboBox>();
    util::ui::ComboListControl regions(*combo);
    util::FillFromDictionary(kRegionList, regions, 2);
    combo->setCurrentIndex(-1); // filling a list selects its first entry
    const ApplicationItem& item = CurrentItem();
    if (const std::optional<StoredApplication> stored = ReadApplication()) {
        const bool individual = ApplicantTypeOf(stored->applicantType) == ApplicantType::Individual;
        // Only the chosen applicant's values are shown (and printed); the
        // other group's are kept for a switch of the applicant type.
        for (const std::string& value : stored->individual)
            keptIndividual_.push_back(Q(value));
        for (const std::string& value : stored->unit)
            keptUnit_.push_back(Q(value));
        Option1(individual ? 1 : 0).setChecked(true);
        Text3().setEnabled(!ProjectNameFollowsItem(item));
        setInputText(Text3(), Q(InitialProjectName(stored->projectName, item)));

        combo->setCurrentIndex(-1);
        std::vector<std::string> entries;
        for (int i = 0; i < combo->count(); ++i)
            entries.push_back(S(combo->itemText(i)));
        combo->setCurrentIndex(RegionEntryIndex(entries, stored->region));

        const std::array<bool, kReceiptWays> ways = ReceiptWays(stored->receipt);
        for (int k = 0; k < kReceiptWays; ++k)
            Check1(k).setChecked(ways[static_cast<std::size_t>(k)]);
    }
    Label3().setText(Q(item.申请事项名称));
}

void XZSPTab::setInputText(Control& input, const QString& text) {
    auto* edit = input.as<QLineEdit>();
    if (auto* limit = dynamic_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator())))
        limit->setProgramText(*edit, text);
    else
        edit->setText(text);
}

// ---- applicant type ----

void XZSPTab::Option1_Click(int) {
    dataChanged = true; // the applicant type is part of the form
    ApplyApplicantType();
}

void XZSPTab::ApplyApplicantType() {
    const int chosen = Option1(0).checked() ? 0 : Option1(1).checked() ? 1 : -1;
    if (chosen < 0)
        return;
    const auto keep = [this](const QString& texts, int count, QStringList& kept) {
        kept.clear();
        for (int i = 0; i < count; ++i)
            kept.push_back(control(texts, i).text());
    };
    if (activeGroup_ == 0 && chosen == 1)
        keep(kText2, kUnitInputs, keptUnit_);
    else if (activeGroup_ == 1 && chosen == 0)
        keep(kText1, kIndividualInputs, keptIndividual_);
    if (chosen == 0) {
        setGroupState(kText1, kLabel1, kIndividualInputs, false, 0);
        setGroupState(kText2, kLabel2, kUnitInputs, true, kUnitRequired);
    } else {
        setGroupState(kText1, kLabel1, kIndividualInputs, true, kIndividualRequired);
        setGroupState(kText2, kLabel2, kUnitInputs, false, 0);
    }
    if (chosen != activeGroup_) {
        // The newly active group shows what its columns hold, so that a save
        // after the switch never overwrites them with nothing.
        const QString& texts = chosen == 0 ? kText2 : kText1;
        const QStringList& kept = chosen == 0 ? keptUnit_ : keptIndividual_;
        for (int i = 0; i < kept.size(); ++i)
            setInputText(control(texts, i), kept[i]);
    }
    activeGroup_ = chosen;
}

void XZSPTab::setGroupState(const QString& texts, const QString& labels, int count, bool active,
                            int requiredCount) {
    for (int i = 0; i < count; ++i) {
        Control& input = control(texts, i);
        if (!active)
            setInputText(input, QString());
        input.setEnabled(active);
        input.setBackColor(active ? EditableColor : DisabledColor);
        control(labels, i).setForeColor(active && i < requiredCount ? RequiredColor
                                                                    : ButtonTextColor());
    }
}

void XZSPTab::Text2_Change(int index) {
    dataChanged = true;
    const ApplicationItem& item = CurrentItem();
    if (index == 0 && ProjectNameFollowsItem(item))
        setInputText(Text3(), Q(ProjectNameForUnit(S(Text2(0).text()), item)));
}

// ---- checking and saving ----

bool XZSPTab::CheckApplication() {
    const bool individual = Option1(1).checked();
    const QString& texts = individual ? kText1 : kText2;
    const QString& labels = individual ? kLabel1 : kLabel2;
    const int count = individual ? kIndividualInputs : kUnitInputs;
    std::vector<FormInput> group;
    for (int i = 0; i < count; ++i) {
        const Control& input = control(texts, i);
        group.push_back({S(input.widget()->toolTip()), S(input.text()),
                         control(labels, i).foreColor() == RequiredColor});
    }
    const std::string faults =
        ApplicationFaults(group, S(Text3().text()), Combo1().listIndex() >= 0);
    if (faults.empty())
        return true;
    platform::Notify(faults, "错误提示", platform::MsgIcon::Critical);
    return false;
}

bool XZSPTab::SaveApplication() {
    ApplicationValues values;
    const bool unit = Option1(0).checked();
    values.type = unit ? ApplicantType::Unit : ApplicantType::Individual;
    values.projectName = S(Text3().text());
    if (Combo1().listIndex() >= 0)
        values.regionEntry = S(Combo1().text());
    for (int k = 0; k < kReceiptWays; ++k)
        values.receipt[static_cast<std::size_t>(k)] = Check1(k).checked();
    const QString& texts = unit ? kText2 : kText1;
    const int count = unit ? kUnitInputs : kIndividualInputs;
    for (int i = 0; i < count; ++i) {
        const Control& input = control(texts, i);
        values.group.emplace_back(S(input.widget()->toolTip()), S(input.text()));
    }
    const bool saved = printing::SaveApplication(values);
    if (saved)
        dataChanged = false; // a failed save keeps the edits to be asked about
    return saved;
}

// ---- buttons, keys and closing ----

void XZSPTab::Command1_Click(int index) {
    switch (index) {
    case 0:
        if (CheckApplication())
            SaveApplication();
        break;
    case 1:
        if (printer_)
            PrintTwipForm(*this, 0, kPrintScaleY, *printer_);
        else
            PrintTwipForm(*this, 0, kPrintScaleY);
        break;
    case 2:
        close();
        break;
    case 3:
        preview();
        break;
    default:
        break;
    }
}

// The page that "打 印" prints, in the preview window of the prompter.
void XZSPTab::preview() {
    platform::PreviewRequest request;
    request.title = "行政审批申请书";
    request.pdfName = "行政审批申请书.pdf";
    request.printer = printer_;
    request.draw = [this](twip::Printer& target) {
        return DrawTwipFormPages(*this, 0, kPrintScaleY, target, 1, {}) == 1;
    };
    request.print = [this] { Command1_Click(1); };
    platform::CurrentPrompter().printPreview(request);
}

bool XZSPTab::Form_Unload() {
    if (!dataChanged)
        return true;
    return platform::CurrentPrompter().message(
               "内容已经改变，退出将不保存。确认吗？", "提示", platform::MsgIcon::Question,
               platform::MsgButtons::YesNo) == platform::MsgAnswer::Yes;
}

void XZSPTab::done(int result) {
    if (!Form_Unload())
        return;
    TwipForm::done(result);
}

// Up moves to the previous input in tab order, Down and Enter to the next.
bool XZSPTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched)) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            focusNextPrevChild(false);
            return true;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            focusNextPrevChild(true);
            return true;
        default:
            break;
        }
    }
    return TwipForm::eventFilter(watched, event);
}

// ---- entry point ----

void ShowApplicationForm(QWidget* parent) {
    XZSPTab window(parent);
    if (!twip::ui::Guarded("打开行政审批申请书", [&] { window.Form_Load(); }))
        return;
    window.exec();
}

} // namespace printing::ui
