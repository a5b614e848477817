#include "scan/ui/ScanWindow.h"

#include "platform/prompter.h"
#include "scan/scan_files.h"
#include "scan/ui/image_files.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTransform>
#include <QVBoxLayout>

#include <cmath>
#include <ctime>

namespace scan::ui {
namespace {

constexpr int kThumb = 150;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Sizes below one megabyte in KB, larger ones in M with one decimal.
QString Size(std::uint64_t bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 M").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

const char* const kImageFilter =
    "图片文件(*.jpg,*.jpeg,*.png,*.tif,*.tiff,*.bmp)|*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.bmp|"
    "所有文件(*.*)|*.*";

} // namespace

ScanWindow::ScanWindow(ScanRequest request, QWidget* parent)
    : QDialog(parent), request_(std::move(request)) {
    setObjectName(QStringLiteral("ScanWindow"));
    setWindowTitle(QStringLiteral("扫描与合并"));
    build();
    refresh(-1);
    findDevices();
}

ScanWindow::~ScanWindow() {
    cancel_flag_ = true;
    for (QThread* thread : {worker_, finder_})
        if (thread) {
            thread->wait();
            delete thread;
        }
}

void ScanWindow::build() {
    auto* top = new QVBoxLayout(this);
    auto* entry = new QLabel(Q("报件：【" + request_.material + "】" + request_.entry), this);
    entry->setObjectName(QStringLiteral("entry"));
    top->addWidget(entry);

    auto* scanner = new QGridLayout();
    scanner->addWidget(new QLabel(QStringLiteral("扫描仪："), this), 0, 0);
    devices_ = new QComboBox(this);
    devices_->setObjectName(QStringLiteral("devices"));
    devices_->setMinimumWidth(260);
    scanner->addWidget(devices_, 0, 1, 1, 3);
    deviceNote_ = new QLabel(QStringLiteral("正在查找扫描仪……"), this);
    deviceNote_->setObjectName(QStringLiteral("deviceNote"));
    scanner->addWidget(deviceNote_, 0, 4, 1, 3);
    scanner->addWidget(new QLabel(QStringLiteral("分辨率："), this), 1, 0);
    dpi_ = new QComboBox(this);
    dpi_->setObjectName(QStringLiteral("dpi"));
    for (int d : {150, 200, 300})
        dpi_->addItem(QStringLiteral("%1 dpi").arg(d), d);
    dpi_->setCurrentIndex(1);
    scanner->addWidget(dpi_, 1, 1);
    scanner->addWidget(new QLabel(QStringLiteral("颜色："), this), 1, 2);
    colour_ = new QComboBox(this);
    colour_->setObjectName(QStringLiteral("colour"));
    colour_->addItems({QStringLiteral("彩色"), QStringLiteral("灰度"), QStringLiteral("黑白")});
    scanner->addWidget(colour_, 1, 3);
    scanner->addWidget(new QLabel(QStringLiteral("范围："), this), 1, 4);
    area_ = new QComboBox(this);
    area_->setObjectName(QStringLiteral("area"));
    area_->addItems({QStringLiteral("A4"), QStringLiteral("扫描仪最大范围")});
    scanner->addWidget(area_, 1, 5);
    top->addLayout(scanner);

    auto* actions = new QHBoxLayout();
    scan_ = Button("scanPage", "扫描一页", this);
    scanBack_ = Button("scanBack", "扫描反面", this);
    scanBack_->setToolTip(QStringLiteral(
        "单面扫描仪扫描双面文件：正面扫完后，将整叠纸翻面放入，逐页扫描反面（最后一页先扫），"
        "反面自动插到对应正面之后。"));
    cancelScan_ = Button("cancelScan", "停止扫描", this);
    addImages_ = Button("addImages", "添加图片...", this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    actions->addWidget(scan_);
    actions->addWidget(scanBack_);
    actions->addWidget(cancelScan_);
    actions->addWidget(progress_, 1);
    actions->addStretch();
    actions->addWidget(addImages_);
    top->addLayout(actions);

    auto* middle = new QHBoxLayout();
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("pages"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumb, kThumb));
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setSpacing(6);
    list_->setMinimumSize(700, 380);
    middle->addWidget(list_, 1);
    auto* edit = new QVBoxLayout();
    up_ = Button("moveUp", "上移", this);
    down_ = Button("moveDown", "下移", this);
    rotate_ = Button("rotate", "旋转", this);
    remove_ = Button("remove", "删除", this);
    removeBlank_ = Button("removeBlank", "删除空白页", this);
    for (QPushButton* b : {up_, down_, rotate_, remove_, removeBlank_})
        edit->addWidget(b);
    blankNote_ = new QLabel(this);
    blankNote_->setObjectName(QStringLiteral("blankNote"));
    blankNote_->setWordWrap(true);
    edit->addWidget(blankNote_);
    edit->addStretch();
    middle->addLayout(edit);
    top->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout();
    bottom->addWidget(new QLabel(QStringLiteral("输出质量："), this));
    quality_box_ = new QComboBox(this);
    quality_box_->setObjectName(QStringLiteral("quality"));
    for (int q = 0; q < kQualityCount; ++q)
        quality_box_->addItem(QString::fromUtf8(Preset(static_cast<Quality>(q)).name));
    quality_box_->setCurrentIndex(static_cast<int>(Quality::Standard));
    bottom->addWidget(quality_box_);
    size_ = new QLabel(this);
    size_->setObjectName(QStringLiteral("size"));
    bottom->addWidget(size_, 1);
    finish_ = Button("finish", "完成", this);
    cancel_ = Button("cancel", "取消", this);
    bottom->addWidget(finish_);
    bottom->addWidget(cancel_);
    top->addLayout(bottom);

    connect(scan_, &QPushButton::clicked, this, [this] { scanPage(false); });
    connect(scanBack_, &QPushButton::clicked, this, [this] { scanPage(true); });
    connect(cancelScan_, &QPushButton::clicked, this, [this] { cancelScan(); });
    connect(addImages_, &QPushButton::clicked, this, [this] { addImages(); });
    connect(up_, &QPushButton::clicked, this, [this] { moveUp(); });
    connect(down_, &QPushButton::clicked, this, [this] { moveDown(); });
    connect(rotate_, &QPushButton::clicked, this, [this] { rotate(); });
    connect(remove_, &QPushButton::clicked, this, [this] { removePage(); });
    connect(removeBlank_, &QPushButton::clicked, this, [this] { removeBlankPages(); });
    connect(finish_, &QPushButton::clicked, this, [this] { finish(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(quality_box_, &QComboBox::currentIndexChanged, this,
            [this](int i) { setQuality(static_cast<Quality>(i)); });
}

// ---- scanners ----

void ScanWindow::findDevices() {
    searching_ = true;
    updateButtons();
    finder_ = QThread::create([this] {
        platform::Scanner& scanner = platform::CurrentScanner();
        found_ = scanner.devices();
        unavailable_ = scanner.unavailable();
    });
    connect(finder_, &QThread::finished, this, [this] {
        finder_->deleteLater();
        finder_ = nullptr;
        searching_ = false;
        showDevices(found_);
    });
    finder_->start();
}

void ScanWindow::showDevices(const std::vector<platform::ScannerDevice>& devices) {
    devices_->clear();
    for (const platform::ScannerDevice& d : devices)
        devices_->addItem(Q(d.label()), Q(d.name));
    const QString none = unavailable_.empty() ? QStringLiteral("未找到扫描仪。")
                                              : QString::fromStdString(unavailable_);
    deviceNote_->setText(devices.empty() ? none + QStringLiteral("仍可通过“添加图片...”从文件添加页面。")
                                         : QString());
    updateButtons();
}

int ScanWindow::deviceCount() const {
    return devices_->count();
}

void ScanWindow::setDpi(int dpi) {
    const int i = dpi_->findData(dpi);
    if (i >= 0)
        dpi_->setCurrentIndex(i);
}

void ScanWindow::setColour(platform::ScanColour colour) {
    colour_->setCurrentIndex(static_cast<int>(colour));
}

void ScanWindow::setFullArea(bool full) {
    area_->setCurrentIndex(full ? 1 : 0);
}

platform::ScanSettings ScanWindow::settings() const {
    platform::ScanSettings s;
    s.device = devices_->currentData().toString().toStdString();
    s.dpi = dpi_->currentData().toInt();
    s.colour = static_cast<platform::ScanColour>(colour_->currentIndex());
    s.a4 = area_->currentIndex() == 0;
    return s;
}

void ScanWindow::scanPage(bool back) {
    if (worker_ || searching_ || devices_->count() == 0)
        return;
    if (back && pages_.backsWanted() == 0) {
        platform::Notify("没有等待扫描反面的正面页。请先扫描或添加正面页。", "提示",
                         platform::MsgIcon::Information);
        return;
    }
    scanningBack_ = back;
    cancel_flag_ = false;
    outcome_ = {};
    scanned_.reset();
    progress_->setValue(0);
    progress_->setVisible(true);
    const platform::ScanSettings s = settings();
    worker_ = QThread::create([this, s] {
        platform::ScanControl control;
        control.cancel = &cancel_flag_;
        control.progress = [this](double share) {
            const int value = share < 0 ? -1 : static_cast<int>(std::lround(share * 100));
            QMetaObject::invokeMethod(
                progress_,
                [this, value] {
                    if (value < 0)
                        progress_->setRange(0, 0);
                    else
                        progress_->setValue(value);
                },
                Qt::QueuedConnection);
        };
        try {
            prepareScan(s, control);
        } catch (const std::exception&) { // memory: the page is lost, the window goes on
            scanned_.reset();
            outcome_.status = platform::ScanStatus::Failed;
            outcome_.message = "内存不足，无法完成扫描。";
        }
    });
    connect(worker_, &QThread::finished, this, [this] { scanFinished(); });
    updateButtons();
    worker_->start();
}

// On the worker thread: one page from the scanner, encoded for the qualities.
void ScanWindow::prepareScan(const platform::ScanSettings& s,
                             const platform::ScanControl& control) {
    outcome_ = platform::CurrentScanner().scan(s, control);
    if (outcome_.status == platform::ScanStatus::Ok && !cancel_flag_) {
        const platform::ScannedPage& p = outcome_.page;
        Raster raster;
        raster.width = p.width;
        raster.height = p.height;
        raster.channels = p.channels;
        raster.pixels = std::move(outcome_.page.pixels);
        const ColourMode mode = s.colour == platform::ScanColour::Colour ? ColourMode::Colour
                                : s.colour == platform::ScanColour::Grey ? ColourMode::Grey
                                                                         : ColourMode::BlackWhite;
        scanned_ = PreparePixels(raster, p.dpi > 0 ? p.dpi : s.dpi, mode, "扫描");
    }
}

void ScanWindow::cancelScan() {
    cancel_flag_ = true;
}

void ScanWindow::scanFinished() {
    worker_->deleteLater();
    worker_ = nullptr;
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    int select = -1;
    if (scanned_ && !cancel_flag_) {
        if (scanningBack_)
            pages_.addBack(std::move(*scanned_));
        else
            pages_.add(std::move(*scanned_));
        // The new page: the one whose thumbnail is still missing.
        for (std::size_t i = 0; i < pages_.size(); ++i)
            if (!thumbnails_.count(pages_.at(i).id))
                select = static_cast<int>(i);
    } else if (outcome_.status == platform::ScanStatus::Failed) {
        // The earlier pages stay as they were.
        platform::Notify(outcome_.message.empty() ? "扫描失败。" : outcome_.message, "错误",
                         platform::MsgIcon::Exclamation);
    }
    scanned_.reset();
    refresh(select);
}

// ---- image files ----

void ScanWindow::addImages() {
    platform::FileDialogRequest request;
    request.title = "添加图片";
    request.filter = kImageFilter;
    for (const std::string& path : platform::CurrentPrompter().openFiles(request))
        addImageFile(path);
}

bool ScanWindow::addImageFile(const std::string& path) {
    std::string error;
    std::vector<Page> loaded;
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        try {
            loaded = LoadImageFile(path, error);
        } catch (const std::exception&) {
            loaded.clear();
            error = "图片过大，内存不足。";
        }
        QApplication::restoreOverrideCursor();
    }
    if (loaded.empty()) {
        platform::Notify("无法添加图片文件：" + path + "\r\n" +
                             (error.empty() ? std::string("文件已损坏或格式不受支持。") : error),
                         "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    for (Page& p : loaded)
        pages_.add(std::move(p));
    refresh(static_cast<int>(pages_.size()) - 1);
    return true;
}

// ---- pages ----

int ScanWindow::currentPage() const {
    return list_->currentRow();
}

void ScanWindow::selectPage(int index) {
    list_->setCurrentRow(index);
}

void ScanWindow::moveUp() {
    const int i = currentPage();
    if (i > 0 && pages_.moveUp(static_cast<std::size_t>(i)))
        refresh(i - 1);
}

void ScanWindow::moveDown() {
    const int i = currentPage();
    if (i >= 0 && pages_.moveDown(static_cast<std::size_t>(i)))
        refresh(i + 1);
}

void ScanWindow::rotate() {
    const int i = currentPage();
    if (i < 0)
        return;
    pages_.rotate(static_cast<std::size_t>(i));
    refresh(i);
}

void ScanWindow::removePage() {
    const int i = currentPage();
    if (i < 0 || static_cast<std::size_t>(i) >= pages_.size())
        return;
    pages_.remove(static_cast<std::size_t>(i));
    refresh(std::min(i, static_cast<int>(pages_.size()) - 1));
}

void ScanWindow::removeBlankPages() {
    if (pages_.removeBlank() > 0)
        refresh(pages_.empty() ? -1 : 0);
}

void ScanWindow::setQuality(Quality q) {
    quality_ = q;
    if (quality_box_->currentIndex() != static_cast<int>(q))
        quality_box_->setCurrentIndex(static_cast<int>(q));
    updateSize();
}

void ScanWindow::refresh(int select) {
    std::map<std::uint64_t, QPixmap> kept;
    list_->clear();
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const Page& page = pages_.at(i);
        auto it = thumbnails_.find(page.id);
        QPixmap thumb =
            it != thumbnails_.end() ? it->second : QPixmap::fromImage(Thumbnail(page, kThumb));
        kept[page.id] = thumb;
        if (page.rotation != 0)
            thumb = thumb.transformed(QTransform().rotate(page.rotation));
        QString text = QStringLiteral("第%1页").arg(i + 1);
        if (page.blank)
            text += QStringLiteral("（空白）");
        auto* item = new QListWidgetItem(QIcon(thumb), text, list_);
        item->setToolTip(Q(page.origin));
        if (page.blank)
            item->setForeground(Qt::red);
    }
    thumbnails_ = std::move(kept);
    if (select >= 0 && select < list_->count())
        list_->setCurrentRow(select);
    const std::size_t blanks = pages_.blankCount();
    blankNote_->setText(blanks == 0
                            ? QString()
                            : QStringLiteral("有%1页几乎空白（已标出），可一键删除。").arg(blanks));
    updateSize();
    updateButtons();
}

// ---- size ----

bool ScanWindow::fits() const {
    const std::uint64_t kb = (estimatedBytes() + 1023) / 1024;
    const std::uint64_t limitKb =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, request_.limitMb)) * 1024;
    return request_.otherLinkedKb + kb <= limitKb;
}

QString ScanWindow::sizeText() const {
    const std::uint64_t limitKb =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, request_.limitMb)) * 1024;
    const std::uint64_t freeKb =
        limitKb > request_.otherLinkedKb ? limitKb - request_.otherLinkedKb : 0;
    QString text = QStringLiteral("共%1页，PDF约 %2；限定 %3 M，其他报件已占 %4，尚余 %5")
                       .arg(pages_.size())
                       .arg(Size(estimatedBytes()))
                       .arg(request_.limitMb)
                       .arg(Size(request_.otherLinkedKb * 1024))
                       .arg(Size(freeKb * 1024));
    text += fits() ? QStringLiteral("：可以放入。") : QStringLiteral("：超出限定大小！");
    return text;
}

void ScanWindow::updateSize() {
    size_->setText(sizeText());
    size_->setStyleSheet(fits() ? QString() : QStringLiteral("color: red;"));
}

void ScanWindow::updateButtons() {
    const bool idle = worker_ == nullptr;
    const bool haveScanner = !searching_ && devices_->count() > 0;
    const int i = currentPage();
    const bool page = i >= 0 && static_cast<std::size_t>(i) < pages_.size();
    scan_->setEnabled(idle && haveScanner);
    scanBack_->setEnabled(idle && haveScanner && pages_.backsWanted() > 0);
    cancelScan_->setEnabled(!idle);
    addImages_->setEnabled(idle);
    up_->setEnabled(idle && page && i > 0);
    down_->setEnabled(idle && page && static_cast<std::size_t>(i) + 1 < pages_.size());
    rotate_->setEnabled(idle && page);
    remove_->setEnabled(idle && page);
    removeBlank_->setEnabled(idle && pages_.blankCount() > 0);
    removeBlank_->setText(pages_.blankCount() > 0
                              ? QStringLiteral("删除空白页(%1)").arg(pages_.blankCount())
                              : QStringLiteral("删除空白页"));
    finish_->setEnabled(idle && !pages_.empty());
}

// ---- the end ----

void ScanWindow::finish() {
    if (worker_ || pages_.empty())
        return;
    const std::string folder = ScanFolder(request_.dataFolder);
    if (folder.empty()) {
        platform::Notify("无法建立文件夹“" + std::string(kScanFolderName) + "”：" +
                             request_.dataFolder,
                         "错误", platform::MsgIcon::Exclamation);
        return;
    }
    const std::string path = ScanFileName(folder, request_.item, request_.material, request_.entry,
                                          "", "pdf", std::time(nullptr));
    std::string error;
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        error = WritePdf(pages_.pdfPages(quality_), path);
        QApplication::restoreOverrideCursor();
    }
    if (!error.empty()) {
        platform::Notify("无法写入PDF文件：" + path + "\r\n" + error, "错误",
                         platform::MsgIcon::Exclamation);
        return;
    }
    result_ = path;
    accept();
}

void ScanWindow::reject() {
    cancel_flag_ = true;
    if (worker_)
        worker_->wait();
    QDialog::reject();
}

void ScanWindow::closeEvent(QCloseEvent* event) {
    cancel_flag_ = true;
    if (worker_)
        worker_->wait();
    QDialog::closeEvent(event);
}

std::optional<std::string> ShowScanWindow(QWidget* parent, const ScanRequest& request) {
    ScanWindow window(request, parent);
    if (window.exec() != QDialog::Accepted || window.resultPath().empty())
        return std::nullopt;
    return window.resultPath();
}

} // namespace scan::ui
