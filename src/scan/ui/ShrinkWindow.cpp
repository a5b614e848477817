#include "scan/ui/ShrinkWindow.h"

#include "platform/prompter.h"
#include "platform/ui/pdf_reader.h"
#include "platform/utf8.h"
#include "scan/scan_files.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

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
    std::filesystem::remove(util::PathFromUtf8(path), ignored);
}

} // namespace

ShrinkWindow::ShrinkWindow(ShrinkRequest request, QWidget* parent)
    : QDialog(parent), request_(std::move(request)) {
    setObjectName(QStringLiteral("ShrinkWindow"));
    setWindowTitle(QStringLiteral("压缩文件"));
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(Q("文件：" + request_.source), this));
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
    auto* again = new QPushButton(QStringLiteral("重新压缩"), this);
    again->setObjectName(QStringLiteral("recompute"));
    again->setAutoDefault(false);
    options->addWidget(again);
    options->addStretch();
    top->addLayout(options);
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
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    accept_ = new QPushButton(QStringLiteral("接受"), this);
    accept_->setObjectName(QStringLiteral("accept"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    buttons->addWidget(accept_);
    buttons->addWidget(cancel);
    top->addLayout(buttons);
    connect(again, &QPushButton::clicked, this, [this] { compute(); });
    connect(accept_, &QPushButton::clicked, this, [this] { acceptCopy(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

ShrinkWindow::~ShrinkWindow() {
    discardPreview();
}

void ShrinkWindow::discardPreview() {
    if (target_ != accepted_)
        Remove(target_);
    target_.clear();
}

void ShrinkWindow::setOptions(int maxDpi, int quality) {
    const int i = dpi_->findData(maxDpi);
    if (i >= 0)
        dpi_->setCurrentIndex(i);
    quality_->setValue(quality);
}

bool ShrinkWindow::compute() {
    discardPreview();
    const std::string folder = ScanFolder(request_.dataFolder);
    if (folder.empty()) {
        platform::Notify("无法建立文件夹“" + std::string(kScanFolderName) + "”。", "错误",
                         platform::MsgIcon::Exclamation);
        return false;
    }
    const std::string extension =
        QFileInfo(Q(request_.source)).suffix().toLower() == QLatin1String("pdf") ? "pdf" : "jpg";
    target_ = ScanFileName(folder, request_.item, request_.material, request_.entry, "-压缩",
                           extension, std::time(nullptr));
    ShrinkOptions options;
    options.maxDpi = dpi_->currentData().toInt();
    options.jpegQuality = quality_->value();
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        result_ = ShrinkFile(request_.source, target_, options);
        QApplication::restoreOverrideCursor();
    }
    if (!result_.ok()) {
        target_.clear();
        platform::Notify(result_.message, "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    before_->setText(beforeText());
    after_->setText(afterText());
    accept_->setEnabled(result_.bytesAfter < result_.bytesBefore);
    showPreview();
    return true;
}

QString ShrinkWindow::beforeText() const {
    return QStringLiteral("压缩前：%1").arg(Kb(result_.bytesBefore));
}

QString ShrinkWindow::afterText() const {
    QString text = QStringLiteral("压缩后：%1").arg(Kb(result_.bytesAfter));
    if (result_.bytesBefore > 0)
        text += QStringLiteral("（原大小的%1%）")
                    .arg(100.0 * result_.bytesAfter / result_.bytesBefore, 0, 'f', 0);
    if (result_.bytesAfter >= result_.bytesBefore)
        text += QStringLiteral("，未能变小");
    return text;
}

// The first page of the result, as it will be linked.
void ShrinkWindow::showPreview() {
    QImage page;
    if (target_.size() > 4 && target_.substr(target_.size() - 4) == ".pdf") {
        page = platform::ui::FirstPdfPage(Q(target_), 60);
    } else {
        page.load(Q(target_));
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

void ShrinkWindow::acceptCopy() {
    if (target_.empty() || !result_.ok())
        return;
    accepted_ = target_;
    accept();
}

void ShrinkWindow::reject() {
    discardPreview();
    QDialog::reject();
}

std::optional<std::string> ShowShrinkWindow(QWidget* parent, const ShrinkRequest& request) {
    ShrinkWindow window(request, parent);
    if (!window.compute())
        return std::nullopt;
    if (window.exec() != QDialog::Accepted || window.resultPath().empty())
        return std::nullopt;
    return window.resultPath();
}

} // namespace scan::ui
