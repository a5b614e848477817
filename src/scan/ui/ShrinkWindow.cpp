#include "scan/ui/ShrinkWindow.h"

#include "platform/durable_file.h"
#include "platform/prompter.h"
#include "platform/ui/pdf_reader.h"
#include "platform/utf8.h"
#include "scan/recognition.h"
#include "scan/scan_files.h"
#include "scan/ui/pdf_recognition.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace scan::ui {
namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString Kb(std::uint64_t bytes) {
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

void Remove(const std::string& path) {
    if (path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(platform::PathFromUtf8(path), ignored);
}

} // namespace

ShrinkWindow::ShrinkWindow(ShrinkRequest request, QWidget* parent)
    : QDialog(parent), request_(std::move(request)) {
    setObjectName(QStringLiteral("ShrinkWindow"));
    setWindowTitle(QStringLiteral("压缩文件"));
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(Q("文件：" + request_.source), this));
    buildOptions(top);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    top->addWidget(progress_);
    before_ = new QLabel(this);
    before_->setObjectName(QStringLiteral("before"));
    after_ = new QLabel(this);
    after_->setObjectName(QStringLiteral("after"));
    top->addWidget(before_);
    top->addWidget(after_);
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setMinimumSize(420, 480);
    preview_->setAlignment(Qt::AlignCenter);
    top->addWidget(preview_, 1);
    buildButtons(top);
    connect(again_, &QPushButton::clicked, this, [this] { start(); });
    connect(recognise_, &QPushButton::clicked, this, [this] { recogniseText(); });
    connect(accept_, &QPushButton::clicked, this, [this] { acceptCopy(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

// The highest resolution, the JPEG quality, "重新压缩" and "识别文字".
void ShrinkWindow::buildOptions(QBoxLayout* top) {
    auto* options = new QHBoxLayout();
    options->addWidget(new QLabel(QStringLiteral("最高分辨率（按A4）："), this));
    dpi_ = new QComboBox(this);
    dpi_->setObjectName(QStringLiteral("maxDpi"));
    for (int d : {100, 150, 200, 300})
        dpi_->addItem(QStringLiteral("%1 dpi").arg(d), d);
    dpi_->setCurrentIndex(2);
    options->addWidget(dpi_);
    options->addWidget(new QLabel(QStringLiteral("JPEG质量："), this));
    quality_ = new QSpinBox(this);
    quality_->setObjectName(QStringLiteral("jpegQuality"));
    quality_->setRange(20, 95);
    quality_->setValue(75);
    options->addWidget(quality_);
    again_ = new QPushButton(QStringLiteral("重新压缩"), this);
    again_->setObjectName(QStringLiteral("recompute"));
    again_->setAutoDefault(false);
    options->addWidget(again_);
    buildRecognise();
    options->addWidget(recognise_);
    options->addStretch();
    top->addLayout(options);
}

// "识别文字", shown for a PDF and open where text recognition is installed.
void ShrinkWindow::buildRecognise() {
    recognise_ = new QPushButton(QStringLiteral("识别文字"), this);
    recognise_->setObjectName(QStringLiteral("recogniseText"));
    recognise_->setAutoDefault(false);
    const bool pdf = QFileInfo(Q(request_.source)).suffix().toLower() == QLatin1String("pdf");
    const OcrSupport support = pdf ? CheckOcr() : OcrSupport{};
    recognise_->setVisible(pdf);
    textPossible_ = support.available;
    recognise_->setEnabled(textPossible_);
    recognise_->setToolTip(
        support.available ? QStringLiteral("为没有文字的扫描页面加入可检索的文字，另存一份新文件。")
                          : Q(support.note));
}

void ShrinkWindow::buildButtons(QBoxLayout* top) {
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    accept_ = new QPushButton(QStringLiteral("接受"), this);
    accept_->setObjectName(QStringLiteral("accept"));
    accept_->setEnabled(false);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    buttons->addWidget(accept_);
    buttons->addWidget(cancel_);
    top->addLayout(buttons);
}

ShrinkWindow::~ShrinkWindow() {
    stop_ = true;
    if (thread_) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    discardPreview();
}

void ShrinkWindow::discardPreview() {
    Remove(target_);
    target_.clear();
}

void ShrinkWindow::setOptions(int maxDpi, int quality) {
    const int i = dpi_->findData(maxDpi);
    if (i >= 0)
        dpi_->setCurrentIndex(i);
    quality_->setValue(quality);
}

void ShrinkWindow::start() {
    run(false);
}

void ShrinkWindow::recogniseText() {
    run(true);
}

void ShrinkWindow::run(bool text) {
    if (thread_)
        return;
    text_ = text;
    discardPreview();
    accept_->setEnabled(false);
    const std::string folder = ScanFolder(request_.dataFolder);
    if (folder.empty()) {
        result_ = ShrinkFailure(ShrinkStatus::WriteFailed,
                                "无法建立文件夹“" + std::string(kScanFolderName) + "”。");
        finished();
        return;
    }
    const std::string extension =
        QFileInfo(Q(request_.source)).suffix().toLower() == QLatin1String("pdf") ? "pdf" : "jpg";
    final_ = ScanFileName(folder, request_.item, request_.material, request_.entry,
                          text ? kTextSuffix : kShrinkSuffix, extension, std::time(nullptr));
    target_ = ShrinkPreviewPath(final_);
    ShrinkOptions options;
    options.maxDpi = dpi_->currentData().toInt();
    options.jpegQuality = quality_->value();
    options.cancel = &stop_;
    options.progress = [this](double share) {
        const int value = static_cast<int>(std::lround(share * 100));
        QMetaObject::invokeMethod(
            progress_, [this, value] { progress_->setValue(value); }, Qt::QueuedConnection);
    };
    stop_ = false;
    progress_->setValue(0);
    progress_->setVisible(true);
    again_->setEnabled(false);
    recognise_->setEnabled(false);
    cancel_->setText(QStringLiteral("停止"));
    thread_ = QThread::create([this, source = request_.source, target = target_, options, text] {
        result_ =
            text ? RecognisePdf(source, target, options) : ShrinkFile(source, target, options);
    });
    connect(thread_, &QThread::finished, this, [this] { finished(); });
    thread_->start();
}

void ShrinkWindow::stop() {
    stop_ = true;
}

void ShrinkWindow::finished() {
    if (thread_) {
        thread_->deleteLater();
        thread_ = nullptr;
    }
    progress_->setVisible(false);
    again_->setEnabled(true);
    recognise_->setEnabled(textPossible_);
    cancel_->setText(QStringLiteral("取消"));
    if (!result_.ok()) {
        discardPreview();
        before_->clear();
        after_->clear();
        preview_->clear();
        if (result_.status == ShrinkStatus::Cancelled) {
            after_->setText(text_ ? QStringLiteral("已停止识别文字。")
                                  : QStringLiteral("已停止压缩。"));
            return;
        }
        platform::Notify(result_.message, "提示", platform::MsgIcon::Exclamation);
        // A file that cannot be shrunk closes the window; recognition that
        // finds nothing to do leaves 压缩 to be chosen.
        if (isVisible() && !text_)
            QDialog::reject();
        return;
    }
    before_->setText(beforeText());
    after_->setText(afterText());
    accept_->setEnabled(canAccept());
    showPreview();
}

bool ShrinkWindow::compute() {
    start();
    return waitForCopy();
}

bool ShrinkWindow::waitForCopy() {
    while (thread_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return result_.ok();
}

QString ShrinkWindow::beforeText() const {
    return QStringLiteral("压缩前：%1").arg(Kb(result_.bytesBefore));
}

QString ShrinkWindow::afterText() const {
    if (text_)
        return QStringLiteral("识别文字后：%1（%2页加入了文字）")
            .arg(Kb(result_.bytesAfter))
            .arg(result_.pages);
    QString text = QStringLiteral("压缩后：%1").arg(Kb(result_.bytesAfter));
    if (result_.bytesBefore > 0)
        text += QStringLiteral("（原大小的%1%）")
                    .arg(100.0 * result_.bytesAfter / result_.bytesBefore, 0, 'f', 0);
    if (result_.bytesAfter >= result_.bytesBefore)
        text += QStringLiteral("，未能变小");
    return text;
}

bool ShrinkWindow::canAccept() const {
    return result_.ok() && !target_.empty() && (text_ || result_.bytesAfter < result_.bytesBefore);
}

// The first page of the result, as it will be linked.
void ShrinkWindow::showPreview() {
    QImage page;
    if (target_.size() > 4 && target_.substr(target_.size() - 4) == ".pdf") {
        page = platform::ui::FirstPdfPage(Q(target_), 60);
    } else {
        QImageReader reader(Q(target_));
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(preview_->minimumSize(), Qt::KeepAspectRatio));
        page = reader.read();
    }
    if (page.isNull()) {
        preview_->setText(QStringLiteral("（无法显示预览）"));
        return;
    }
    preview_->setPixmap(QPixmap::fromImage(
        page.scaled(preview_->minimumSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

bool ShrinkWindow::previewShown() const {
    return !preview_->pixmap().isNull();
}

// The preview takes its name: flushed, renamed and the folder flushed.
void ShrinkWindow::acceptCopy() {
    if (thread_ || !canAccept())
        return;
    if (platform::CommitTemporary(platform::PathFromUtf8(target_),
                                  platform::PathFromUtf8(final_))) {
        target_.clear();
        platform::Notify("无法保存压缩后的文件：" + final_, "错误", platform::MsgIcon::Exclamation);
        return;
    }
    target_.clear();
    accepted_ = final_;
    accept();
}

void ShrinkWindow::reject() {
    if (thread_) { // 停止 while the copy is made
        stop();
        return;
    }
    discardPreview();
    QDialog::reject();
}

std::optional<std::string> ShowShrinkWindow(QWidget* parent, const ShrinkRequest& request) {
    ShrinkWindow window(request, parent);
    window.start();
    if (!window.running() && !window.result().ok())
        return std::nullopt; // refused at once, and said so
    if (window.exec() != QDialog::Accepted || window.resultPath().empty())
        return std::nullopt;
    return window.resultPath();
}

} // namespace scan::ui
