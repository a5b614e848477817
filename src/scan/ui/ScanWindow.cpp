#include "scan/ui/ScanWindow.h"

#include "platform/prompter.h"
#include "scan/scan_files.h"
#include "scan/ui/page_worker.h"
#include "scan/ui/text_worker.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QThread>
#include <QTransform>

#include <algorithm>
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

const char* const kImageFilter =
    "图片文件(*.jpg,*.jpeg,*.png,*.tif,*.tiff,*.bmp,*.gif,*.webp,*.heic,*.heif)|"
    "*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.bmp;*.gif;*.webp;*.heic;*.heif|所有文件(*.*)|*.*";

// "第2、5页".
std::string PageNumbers(const std::vector<std::size_t>& indexes) {
    std::string text = "第";
    for (std::size_t i = 0; i < indexes.size(); ++i)
        text += (i ? "、" : "") + std::to_string(indexes[i] + 1);
    return text + "页";
}

} // namespace

ScanWindow::ScanWindow(ScanRequest request, QWidget* parent)
    : QDialog(parent), request_(std::move(request)) {
    setObjectName(QStringLiteral("ScanWindow"));
    setWindowTitle(QStringLiteral("扫描与合并"));
    build();
    worker_ = std::make_unique<PageWorker>(
        [this](const std::string& path, std::vector<LoadedPage> pages, const std::string& error) {
            pagesLoaded(path, std::move(pages), error);
        },
        [this](std::uint64_t id, Quality q, std::shared_ptr<const PdfImage> image,
               const std::string& error) { pageEncoded(id, q, std::move(image), error); });
    worker_->prefer(quality_);
    refresh(-1);
    findDevices();
}

ScanWindow::~ScanWindow() {
    cancel_flag_ = true;
    if (scanner_) { // cancelled: ends at its next read
        scanner_->wait();
        delete scanner_;
    }
    text_.reset();
    worker_.reset();
    // The search for scanners is not waited for: it ends on its own.
}

// ---- image files ----

void ScanWindow::addImages() {
    platform::FileDialogRequest request;
    request.title = "添加图片";
    request.filter = kImageFilter;
    for (const std::string& path : platform::CurrentPrompter().openFiles(request))
        addImageFile(path);
}

void ScanWindow::addImageFile(const std::string& path) {
    worker_->load(path);
    updateButtons();
}

void ScanWindow::waitForPages() {
    while (worker_->outstanding() > 0) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(1);
    }
}

void ScanWindow::pagesLoaded(const std::string& path, std::vector<LoadedPage> pages,
                             const std::string& error) {
    if (pages.empty()) {
        platform::Notify("无法添加图片文件：" + path + "\r\n" +
                             (error.empty() ? std::string("文件已损坏或格式不受支持。") : error),
                         "提示", platform::MsgIcon::Exclamation);
        updateButtons();
        return;
    }
    for (LoadedPage& loaded : pages)
        addPage(std::move(loaded.page), loaded.preview, false);
}

// A new page: its thumbnail from the preview, its missing encodings asked of
// the worker (the chosen quality first).
void ScanWindow::addPage(Page page, const Raster& preview, bool back) {
    const std::uint64_t id = back ? pages_.addBack(std::move(page)) : pages_.add(std::move(page));
    if (id == 0) {
        refresh(currentPage());
        return;
    }
    thumbnails_[id] = QPixmap::fromImage(
        ToQImage(preview).scaled(kThumb, kThumb, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const Page& added = *pages_.find(id);
    // A picture from a file may be a photo of a page: its encodings wait
    // until the page has been looked for.
    if (!added.scanned && !added.source->info().bilevel)
        findPhotoPage(id);
    else
        encodeAll(id);
    const std::optional<std::size_t> select = indexOf(id);
    refresh(select ? static_cast<int>(*select) : -1);
}

// The page's missing encodings asked of the worker, the chosen quality first.
void ScanWindow::encodeAll(std::uint64_t id) {
    const Page* page = pages_.find(id);
    if (!page)
        return;
    std::vector<Quality> order{quality_};
    for (int q = 0; q < kQualityCount; ++q)
        if (static_cast<Quality>(q) != quality_)
            order.push_back(static_cast<Quality>(q));
    for (Quality q : order)
        if (!page->encoded(q))
            worker_->encode(id, page->source, page->mode, page->scanned, q);
    recogniseNew(id);
}

std::optional<std::size_t> ScanWindow::indexOf(std::uint64_t id) const {
    for (;;) {
        for (std::size_t i = 0; i < pages_.size(); ++i)
            if (pages_.at(i).id == id)
                return i;
        const auto next = replaced_.find(id);
        if (next == replaced_.end())
            return std::nullopt;
        id = next->second;
    }
}

void ScanWindow::pageEncoded(std::uint64_t id, Quality q, std::shared_ptr<const PdfImage> image,
                             const std::string& error) {
    const Page* page = pages_.find(id);
    if (page && image) {
        pages_.setImage(id, q, std::move(image));
    } else if (page && !error.empty()) {
        worker_->drop(id);
        const auto it = std::find_if(pages_.pages().begin(), pages_.pages().end(),
                                     [id](const Page& p) { return p.id == id; });
        const auto index = static_cast<std::size_t>(it - pages_.pages().begin());
        platform::Notify("第" + std::to_string(index + 1) + "页（" + page->origin +
                             "）无法处理，已从列表中去掉：\r\n" + error,
                         "提示", platform::MsgIcon::Exclamation);
        forgetText(id);
        pages_.remove(index);
        refresh(std::min<int>(currentPage(), static_cast<int>(pages_.size()) - 1));
        return;
    }
    updateSize();
    updateButtons();
}

// ---- pages ----

int ScanWindow::currentPage() const {
    return list_->currentRow();
}

void ScanWindow::selectPage(int index) {
    list_->setCurrentRow(index);
}

QPixmap ScanWindow::thumbnail(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= pages_.size())
        return {};
    const Page& page = pages_.at(static_cast<std::size_t>(index));
    const auto it = thumbnails_.find(page.id);
    if (it == thumbnails_.end())
        return {};
    return page.rotation() == 0 ? it->second
                                : it->second.transformed(QTransform().rotate(page.rotation()));
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
    worker_->drop(pages_.at(static_cast<std::size_t>(i)).id);
    forgetText(pages_.at(static_cast<std::size_t>(i)).id);
    pages_.remove(static_cast<std::size_t>(i));
    refresh(std::min(i, static_cast<int>(pages_.size()) - 1));
}

void ScanWindow::removeBlankPages() {
    std::vector<std::size_t> blank;
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (pages_.at(i).blank)
            blank.push_back(i);
    if (blank.empty())
        return;
    if (platform::CurrentPrompter().message(
            "将删除几乎空白的" + PageNumbers(blank) + "，删除后不能恢复。确认吗？", "提示",
            platform::MsgIcon::Question, platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes)
        return;
    for (std::size_t i : blank) {
        worker_->drop(pages_.at(i).id);
        forgetText(pages_.at(i).id);
    }
    pages_.removeBlank();
    refresh(pages_.empty() ? -1 : 0);
}

void ScanWindow::setQuality(Quality q) {
    quality_ = q;
    worker_->prefer(q);
    if (quality_box_->currentIndex() != static_cast<int>(q))
        quality_box_->setCurrentIndex(static_cast<int>(q));
    updateSize();
}

void ScanWindow::refresh(int select) {
    list_->clear();
    std::map<std::uint64_t, QPixmap> kept;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const Page& page = pages_.at(i);
        auto it = thumbnails_.find(page.id);
        if (it != thumbnails_.end())
            kept[page.id] = it->second;
        QPixmap thumb = thumbnail(static_cast<int>(i));
        if (thumb.isNull()) {
            thumb = QPixmap(kThumb * 7 / 10, kThumb);
            thumb.fill(Qt::lightGray);
        }
        QString text = QStringLiteral("第%1页").arg(i + 1);
        if (page.blank)
            text += QStringLiteral("（空白）");
        text += PhotoNote(page);
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
    if (pages_.missing(quality_) > 0)
        text += QStringLiteral("（还有%1页正在计算）").arg(pages_.missing(quality_));
    return text;
}

void ScanWindow::updateSize() {
    size_->setText(sizeText());
    size_->setStyleSheet(fits() ? QString() : QStringLiteral("color: red;"));
}

void ScanWindow::updateButtons() {
    const bool idle = scanner_ == nullptr && !finishing_;
    const bool haveScanner = !searching_ && devices_->count() > 0;
    const int i = currentPage();
    const bool page = i >= 0 && static_cast<std::size_t>(i) < pages_.size();
    scan_->setEnabled(idle && haveScanner);
    scanBack_->setEnabled(idle && haveScanner && pages_.backsWanted() > 0);
    cancelScan_->setEnabled(scanner_ != nullptr);
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
    const Page* current = page ? &pages_.at(static_cast<std::size_t>(i)) : nullptr;
    const bool photo = current && current->photo;
    adjust_->setEnabled(idle && photo);
    undo_->setEnabled(idle && photo && current->photo->corrected);
    cleaning_->setEnabled(idle && photo);
    if (photo && cleaning_->currentIndex() != static_cast<int>(current->photo->cleaning)) {
        const QSignalBlocker block(cleaning_);
        cleaning_->setCurrentIndex(static_cast<int>(current->photo->cleaning));
    }
    cleanAll_->setEnabled(idle && std::any_of(pages_.pages().begin(), pages_.pages().end(),
                                              [](const Page& p) { return p.photo != nullptr; }));
    const int files = worker_ ? worker_->filesOutstanding() : 0;
    const std::size_t missing = pages_.missing(quality_);
    QString working = files > 0 ? QStringLiteral("正在读取图片文件（还有%1个）……").arg(files)
                      : missing > 0
                          ? QStringLiteral("正在按所选输出质量处理页面（还有%1页）……").arg(missing)
                          : QString();
    if (textLeft() > 0)
        working += QStringLiteral("正在识别文字（还有%1页）……").arg(textLeft());
    working_->setText(working);
    updateText();
}

// ---- the end ----

void ScanWindow::finish() {
    if (scanner_ || pages_.empty() || finishing_)
        return;
    const std::string folder = ScanFolder(request_.dataFolder);
    if (folder.empty()) {
        platform::Notify("无法建立文件夹“" + std::string(kScanFolderName) + "”：" +
                             request_.dataFolder,
                         "错误", platform::MsgIcon::Exclamation);
        return;
    }
    // Files still being read and pages still being encoded at the chosen
    // quality are waited for; the window keeps painting meanwhile.
    finishing_ = true;
    updateButtons();
    while (worker_->filesOutstanding() > 0 ||
           (pages_.missing(quality_) > 0 && worker_->outstanding() > 0)) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(1);
    }
    // Pages still being recognised are waited for too; "停止" (the one
    // control that stays enabled) ends the wait, and those pages go without
    // text.
    while (textLeft() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(1);
    }
    std::string error;
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        if (pages_.encodeMissing(quality_, &error)) {
            const std::string path = ScanFileName(folder, request_.item, request_.material,
                                                  request_.entry, "", "pdf", std::time(nullptr));
            error = WritePdf(pages_.pdfPages(quality_, recognising()), path);
            if (error.empty())
                result_ = path;
            else
                error = "无法写入PDF文件：" + path + "\r\n" + error;
        }
        QApplication::restoreOverrideCursor();
    }
    finishing_ = false;
    if (!error.empty()) {
        platform::Notify(error, "错误", platform::MsgIcon::Exclamation);
        updateButtons();
        return;
    }
    accept();
}

// Scanned or added pages are thrown away only when the applicant says so.
bool ScanWindow::confirmDiscard() {
    if (pages_.empty())
        return true;
    return platform::CurrentPrompter().message(
               "已扫描的" + std::to_string(pages_.size()) + "页将被放弃，确认吗？", "提示",
               platform::MsgIcon::Question,
               platform::MsgButtons::YesNo) == platform::MsgAnswer::Yes;
}

void ScanWindow::reject() {
    if (finishing_ || !confirmDiscard())
        return;
    cancel_flag_ = true;
    if (scanner_)
        scanner_->wait();
    QDialog::reject();
}

void ScanWindow::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event); // asks through reject()
}

std::optional<std::string> ShowScanWindow(QWidget* parent, const ScanRequest& request) {
    ScanWindow window(request, parent);
    if (window.exec() != QDialog::Accepted || window.resultPath().empty())
        return std::nullopt;
    return window.resultPath();
}

} // namespace scan::ui
