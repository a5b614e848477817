// The scanners of "扫描与合并": the search at opening (never waited for) and
// the scan of one page on a thread of its own, the page held once and each
// quality derived from it there.

#include "scan/ui/ScanWindow.h"

#include "platform/prompter.h"
#include "scan/photo.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QThread>

#include <cmath>
#include <mutex>

namespace scan::ui {

// What the search found; shared with the search's thread, which may outlive
// the window.
struct ScanWindow::Search {
    std::mutex mutex;
    std::vector<platform::ScannerDevice> found;
    std::string unavailable; // why no scanner can be used at all
};

void ScanWindow::findDevices() {
    searching_ = true;
    updateButtons();
    auto search = std::make_shared<Search>();
    search_ = search;
    QThread* thread = QThread::create([search, scanner = platform::SharedScanner()] {
        std::vector<platform::ScannerDevice> found = scanner->devices();
        std::string unavailable = scanner->unavailable();
        std::lock_guard lock(search->mutex);
        search->found = std::move(found);
        search->unavailable = std::move(unavailable);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, search] {
        if (search != search_)
            return;
        searching_ = false;
        std::vector<platform::ScannerDevice> found;
        {
            std::lock_guard lock(search->mutex);
            found = search->found;
            unavailable_ = search->unavailable;
        }
        showDevices(found);
    });
    thread->start();
}

void ScanWindow::showDevices(const std::vector<platform::ScannerDevice>& devices) {
    devices_->clear();
    for (const platform::ScannerDevice& d : devices)
        devices_->addItem(QString::fromStdString(d.label()), QString::fromStdString(d.name));
    const QString none = unavailable_.empty() ? QStringLiteral("未找到扫描仪。")
                                              : QString::fromStdString(unavailable_);
    deviceNote_->setText(devices.empty()
                             ? none + QStringLiteral("仍可通过“添加图片...”从文件添加页面。")
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
    if (scanner_ || searching_ || devices_->count() == 0)
        return;
    if (back && pages_.backsWanted() == 0) {
        platform::Notify("没有等待扫描反面的正面页。请先扫描或添加正面页。", "提示",
                         platform::MsgIcon::Information);
        return;
    }
    scanningBack_ = back;
    cancel_flag_ = false;
    scanDone_.store(false, std::memory_order_relaxed);
    outcome_ = {};
    scanned_.reset();
    progress_->setValue(0);
    progress_->setVisible(true);
    const platform::ScanSettings s = settings();
    scanner_ = QThread::create([this, s] {
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
        scanDone_.store(true, std::memory_order_release);
    });
    connect(scanner_, &QThread::finished, this, [this] { scanFinished(); });
    updateButtons();
    scanner_->start();
}

// On the scan's thread: one page from the scanner, held once (the scanner's
// lines go straight into it), each quality derived from it, then let go.
void ScanWindow::prepareScan(const platform::ScanSettings& s,
                             const platform::ScanControl& control) {
    outcome_ = platform::CurrentScanner().scan(s, control);
    if (outcome_.status != platform::ScanStatus::Ok || cancel_flag_)
        return;
    platform::ScannedPage& p = outcome_.page;
    Raster raster;
    raster.width = p.width;
    raster.height = p.height;
    raster.channels = p.channels;
    raster.pixels = std::move(p.pixels);
    const ColourMode mode = s.colour == platform::ScanColour::Colour ? ColourMode::Colour
                            : s.colour == platform::ScanColour::Grey ? ColourMode::Grey
                                                                     : ColourMode::BlackWhite;
    // A page that lies crooked on the glass is straightened before it is
    // encoded (once), a straight one passes as it is.
    if (std::optional<Raster> straight = Deskewed(raster))
        raster = std::move(*straight);
    scanned_ = PreparePixels(raster, p.dpi > 0 ? p.dpi : s.dpi, mode, "扫描", &scannedPreview_);
}

void ScanWindow::cancelScan() {
    cancel_flag_ = true;
}

void ScanWindow::scanFinished() {
    scanDone_.load(std::memory_order_acquire); // true: the thread has ended
    scanner_->deleteLater();
    scanner_ = nullptr;
    progress_->setRange(0, 100);
    progress_->setVisible(false);
    if (scanned_ && !cancel_flag_) {
        addPage(std::move(*scanned_), scannedPreview_, scanningBack_);
    } else if (outcome_.status == platform::ScanStatus::Failed) {
        // The earlier pages stay as they were.
        platform::Notify(outcome_.message.empty() ? "扫描失败。" : outcome_.message, "错误",
                         platform::MsgIcon::Exclamation);
        refresh(currentPage());
    } else {
        refresh(currentPage());
    }
    scanned_.reset();
    scannedPreview_ = {};
}

} // namespace scan::ui
