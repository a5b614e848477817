#include "disc/ui/FrmDisc.h"

#include "disc/ui/check_progress.h"
#include "disc/ui/content_checks.h"
#include "materials/save_folder.h"
#include "platform/prompter.h"
#include "platform/ui/qtext.h"
#include "platform/utf8.h"
#include "twip/ui/error_barrier.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QProgressBar>

#include <filesystem>

namespace disc::ui {
namespace {

using twip::ui::Control;
using twip::ui::ControlKind;

constexpr int kScale = 1000;
constexpr int kRepaintMs = 100;

using platform::ui::Q;

QString Mb(std::uint64_t bytes) {
    return QString::number((bytes + (1 << 20) - 1) >> 20) + QStringLiteral("M");
}

// Whether `inner` lies in `folder` (or is it).
bool Inside(const std::filesystem::path& inner, const std::filesystem::path& folder) {
    std::error_code e;
    const std::filesystem::path a = std::filesystem::weakly_canonical(inner, e);
    const std::filesystem::path b = std::filesystem::weakly_canonical(folder, e);
    const std::filesystem::path rel = a.lexically_relative(b);
    return !rel.empty() && *rel.begin() != "..";
}

// The busy pointer for the length of a scope.
class BusyPointer {
  public:
    BusyPointer() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

// The progress bar and its text while an image or a burn runs; events are
// handled between chunks so that "取 消" can be pressed.
class FrmDisc::Progress final : public DiscObserver {
  public:
    explicit Progress(FrmDisc& window) : window_(window) { clock_.start(); }

    void phase(DiscPhase phase) override {
        phase_ = phase == DiscPhase::Writing ? QStringLiteral("正在写入")
                                             : QStringLiteral("正在读回校验");
        window_.ProgressBar1().setValue(0);
        show(0, 0);
    }
    void progress(std::uint64_t done, std::uint64_t total) override {
        if (clock_.elapsed() < kRepaintMs && done < total)
            return;
        clock_.restart();
        show(done, total);
    }
    bool cancelRequested() override {
        QCoreApplication::processEvents();
        return window_.cancel_;
    }

  private:
    void show(std::uint64_t done, std::uint64_t total) {
        window_.ProgressBar1().setValue(total == 0 ? 0 : int(done * kScale / total));
        window_.LabProgress().setText(phase_ + QStringLiteral("：") + Mb(done) +
                                      QStringLiteral(" / ") + Mb(total));
        QCoreApplication::processEvents();
    }

    FrmDisc& window_;
    QElapsedTimer clock_;
    QString phase_;
};

FrmDisc::FrmDisc(std::string folder, const std::string& volumeName,
                 std::unique_ptr<disc::DiscSystem> system, QWidget* parent)
    : TwipForm(parent), folder_(std::move(folder)), volume_(DiscVolumeName(volumeName)),
      system_(std::move(system)), inspector_(std::make_unique<QtContentInspector>()) {
    setObjectName(QStringLiteral("FrmDisc"));
    setCaption(QStringLiteral("检查并刻录光盘"));
    setClientSize(9000, 6240);
    createControls();
}

FrmDisc::~FrmDisc() = default;

void FrmDisc::createControls() {
    add(ControlKind::Label, QStringLiteral("LabResult"), {120, 120, 8760, 260});
    Control& findings = addMultiLineTextBox(QStringLiteral("TxtFindings"), {120, 420, 8760, 2940});
    findings.setLocked(true);

    const char* labels[] = {"光盘卷标：", "光盘内容：", "刻 录 机："};
    const twip::ui::TwipRect places[] = {
        {120, 3520, 1150, 260}, {4560, 3520, 1150, 260}, {120, 3940, 1150, 260}};
    for (int i = 0; i < 3; ++i)
        add(ControlKind::Label, QStringLiteral("Label1"), places[i], nullptr, i)
            .setText(QString::fromUtf8(labels[i]));
    add(ControlKind::Label, QStringLiteral("LabVolume"), {1290, 3520, 3150, 260});
    add(ControlKind::Label, QStringLiteral("LabSize"), {5730, 3520, 3150, 260});
    Control& drives =
        add(ControlKind::ComboBox, QStringLiteral("CboDrive"), {1290, 3880, 5430, 330});
    drives.setEditable(false);
    Control& rescan =
        add(ControlKind::CommandButton, QStringLiteral("CmdScan"), {6840, 3870, 2040, 360});
    rescan.setText(QStringLiteral("查找刻录机"));
    rescan.setOnClick([this] { ScanDrives(); });
    add(ControlKind::Label, QStringLiteral("LabMedium"), {1290, 4300, 7590, 480});

    auto* bar = new QProgressBar();
    bar->setRange(0, kScale);
    bar->setValue(0);
    bar->setTextVisible(false);
    adopt(bar, QStringLiteral("ProgressBar1"), {120, 4900, 8760, 270});
    add(ControlKind::Label, QStringLiteral("LabProgress"), {120, 5230, 8760, 260});

    const char* captions[] = {"重新检查", "制作映像文件...", "刻 录", "取 消", "退 出"};
    const int lefts[] = {120, 1740, 3880, 5500, 7380};
    const int widths[] = {1500, 2020, 1500, 1500, 1500};
    for (int i = 0; i < 5; ++i) {
        Control& button = add(ControlKind::CommandButton, QStringLiteral("Command1"),
                              {lefts[i], 5640, widths[i], 450}, nullptr, i);
        button.setText(QString::fromUtf8(captions[i]));
        button.setOnClick([this, i] { Command1_Click(i); });
    }
}

QProgressBar& FrmDisc::ProgressBar1() const {
    return *control(QStringLiteral("ProgressBar1")).as<QProgressBar>();
}

void FrmDisc::Form_Load() {
    centreOnScreen();
    LabVolume().setText(Q(volume_));
    materials::RepairAndTell(folder_); // an interrupted save is repaired before it is checked
    RunCheck();
    ScanDrives();
}

void FrmDisc::RunCheck() {
    {
        CheckProgress progress(this);
        check_ = CheckPackage(folder_, inspector_.get(), &progress);
    }
    showCheck();
    enableButtons();
}

void FrmDisc::showCheck() {
    const int errors = check_.count(FindingLevel::Error);
    const int warnings = check_.count(FindingLevel::Warning);
    QString result;
    if (errors > 0 && warnings > 0)
        result = QStringLiteral("检查发现%1个错误、%2个警告：改正错误后才能刻录。")
                     .arg(errors)
                     .arg(warnings);
    else if (errors > 0)
        result = QStringLiteral("检查发现%1个错误：改正错误后才能刻录。").arg(errors);
    else if (warnings > 0)
        result = QStringLiteral("检查发现%1个警告，没有错误，可以刻录。").arg(warnings);
    else
        result = QStringLiteral("检查通过，没有发现问题，可以刻录。");
    LabResult().setText(result);
    LabResult().setForeColor(errors > 0 ? Qt::red : QColor(0, 128, 0));
    const std::string text = FindingsText(check_);
    TxtFindings().setText(text.empty() ? QStringLiteral("未发现问题。") : Q(text));
    LabSize().setText(
        QStringLiteral("共%1个文件，%2").arg(check_.discFiles.size()).arg(Mb(check_.totalBytes)));
}

void FrmDisc::ScanDrives() {
    {
        BusyPointer busy;
        drives_ = system_->drives();
    }
    useDrives(drives_);
}

void FrmDisc::useDrives(std::vector<disc::DriveInfo> drives) {
    drives_ = std::move(drives);
    CboDrive().clearItems();
    for (const disc::DriveInfo& d : drives_)
        CboDrive().addItem(Q(d.name));
    if (drives_.empty()) {
        LabMedium().setText(
            QStringLiteral("未找到刻录机。可以点击“制作映像文件...”保存光盘映像文件，"
                           "再在有刻录机的电脑上刻录。"));
    } else {
        CboDrive().setListIndex(0);
        LabMedium().setText(QStringLiteral("请在刻录机中放入一张空白光盘，然后点击“刻 录”。"));
    }
    enableButtons();
}

void FrmDisc::enableButtons() {
    const bool ready = !busy_ && check_.burnable();
    Command1(0).setEnabled(!busy_);
    Command1(1).setEnabled(ready);
    Command1(2).setEnabled(ready && !drives_.empty());
    Command1(3).setEnabled(busy_);
    Command1(4).setEnabled(!busy_);
    CboDrive().setEnabled(!busy_ && !drives_.empty());
    control(QStringLiteral("CmdScan")).setEnabled(!busy_);
}

void FrmDisc::Command1_Click(int index) {
    switch (index) {
    case 0:
        RunCheck();
        break;
    case 1:
        makeImage();
        break;
    case 2:
        burn();
        break;
    case 3:
        cancel_ = true;
        break;
    case 4:
        close();
        break;
    default:
        break;
    }
}

bool FrmDisc::checkBeforeWriting() {
    RunCheck(); // the folder may have changed since the window opened
    if (check_.burnable())
        return true;
    platform::Notify("申报资料检查发现错误，不能制作光盘：\r\n" + FindingsText(check_), "错误提示",
                     platform::MsgIcon::Critical);
    return false;
}

void FrmDisc::makeImage() {
    if (busy_ || !checkBeforeWriting())
        return;
    platform::FileDialogRequest ask;
    ask.title = "保存光盘映像文件";
    ask.filter = "光盘映像文件(*.iso)|*.iso";
    ask.proposedName = volume_ + ".iso";
    ask.initialDir = platform::PathToUtf8(platform::PathFromUtf8(folder_).parent_path());
    const std::optional<std::string> chosen = platform::CurrentPrompter().saveFile(ask);
    if (!chosen || chosen->empty())
        return;
    const std::filesystem::path target = platform::PathFromUtf8(*chosen);
    if (Inside(target, platform::PathFromUtf8(folder_))) {
        platform::Notify("映像文件不能保存在申报资料目录中，请另选位置。", "提示",
                         platform::MsgIcon::Exclamation);
        return;
    }
    busy_ = true;
    cancel_ = false;
    enableButtons();
    DiscOutcome outcome;
    {
        Progress progress(*this);
        outcome = WriteDiscImage(*system_, PackageLayout(check_, volume_), target, progress);
    }
    finish(outcome);
}

void FrmDisc::burn() {
    const int at = CboDrive().listIndex();
    if (busy_ || at < 0 || at >= int(drives_.size()) || !checkBeforeWriting())
        return;
    busy_ = true;
    cancel_ = false;
    enableButtons();
    DiscOutcome outcome;
    {
        Progress progress(*this);
        std::string error;
        std::unique_ptr<disc::DiscDrive> drive;
        {
            BusyPointer busy;
            drive = system_->openDrive(drives_[std::size_t(at)].address, error);
        }
        if (!drive)
            outcome = {DiscOutcome::Status::Failed, "无法使用刻录机：" + error};
        else
            outcome = BurnDisc(*system_, *drive, PackageLayout(check_, volume_), progress);
    }
    finish(outcome);
}

void FrmDisc::finish(const DiscOutcome& outcome) {
    busy_ = false;
    cancel_ = false;
    lastMessage_ = outcome.message;
    ProgressBar1().setValue(outcome.good() ? kScale : 0);
    LabProgress().setText(outcome.good() ? QStringLiteral("完成，读回校验无误。")
                                         : QStringLiteral("未完成。"));
    enableButtons();
    const bool stopped = outcome.status == DiscOutcome::Status::Cancelled ||
                         outcome.status == DiscOutcome::Status::Refused;
    platform::Notify(outcome.message, outcome.good() || stopped ? "提示" : "错误",
                     outcome.good() ? platform::MsgIcon::Information
                     : stopped      ? platform::MsgIcon::Exclamation
                                    : platform::MsgIcon::Critical);
}

// While an image or a burn runs, closing the window asks it to stop first.
void FrmDisc::done(int result) {
    if (busy_) {
        cancel_ = true;
        return;
    }
    TwipForm::done(result);
}

void ShowDiscWindow(QWidget* parent, const std::string& folder, const std::string& volumeName) {
    FrmDisc window(folder, volumeName, disc::OpenDiscSystem(), parent);
    if (!twip::ui::Guarded("检查申报资料", [&window] { window.Form_Load(); }))
        return;
    window.exec();
}

} // namespace disc::ui
