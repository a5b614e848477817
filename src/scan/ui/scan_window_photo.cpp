// Photos in "扫描与合并": an added picture is looked at on the worker; when
// a page is found with confidence it is warped flat and cleaned (文档) at
// once, otherwise the picture stays as it is and its entry says so. The
// corners can be set by hand ("调整页面..."), the cleaning chosen for a page
// or for all, and the correction undone; the photo itself stays with the
// page for that.

#include "platform/prompter.h"
#include "scan/ui/ScanWindow.h"
#include "scan/ui/image_files.h"
#include "scan/ui/page_corners.h"
#include "scan/ui/page_worker.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace scan::ui {
namespace {

constexpr int kThumb = 150;
// The corner editor shows the photo with at most this many pixels a side.
constexpr int kEditorSide = 1200;

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// The photo's page corrected on the worker: what goes back to the window.
struct Outcome {
    std::shared_ptr<PagePhoto> photo;
    std::optional<CorrectedPage> corrected;
};

} // namespace

void ScanWindow::buildPhotoControls(QVBoxLayout* column) {
    column->addSpacing(12);
    column->addWidget(new QLabel(QStringLiteral("照片清理："), this));
    cleaning_ = new QComboBox(this);
    cleaning_->setObjectName(QStringLiteral("cleaning"));
    for (int c = 0; c < kCleaningCount; ++c)
        cleaning_->addItem(QString::fromUtf8(CleaningName(static_cast<Cleaning>(c))));
    cleaning_->setCurrentIndex(static_cast<int>(Cleaning::Document));
    cleaning_->setToolTip(QStringLiteral("原色：保留颜色，只拉平页面；文档：去掉阴影和偏色，"
                                         "纸张变白、字迹加深，彩色印章保留；黑白：黑白两色"));
    column->addWidget(cleaning_);
    cleanAll_ = Button("cleanAll", "用于全部照片", this);
    adjust_ = Button("adjustPage", "调整页面...", this);
    undo_ = Button("undoCorrection", "撤销校正", this);
    for (QPushButton* b : {cleanAll_, adjust_, undo_})
        column->addWidget(b);
    connect(cleaning_, &QComboBox::activated, this,
            [this](int c) { setCleaning(static_cast<Cleaning>(c), false); });
    connect(cleanAll_, &QPushButton::clicked, this,
            [this] { setCleaning(static_cast<Cleaning>(cleaning_->currentIndex()), true); });
    connect(adjust_, &QPushButton::clicked, this, [this] { adjustPage(); });
    connect(undo_, &QPushButton::clicked, this, [this] { undoCorrection(); });
}

QString ScanWindow::PhotoNote(const Page& page) {
    if (!page.photo)
        return {};
    const PagePhoto& photo = *page.photo;
    if (photo.corrected)
        return photo.finding.twoPages ? QStringLiteral("（照片中有两页，只取了一页，已校正）")
                                      : QStringLiteral("（已校正）");
    if (!photo.finding.found)
        return QStringLiteral("（未找到页面，保持原样）");
    return QStringLiteral("（原照片）");
}

// The photo is decoded whole on the worker and looked at there; the window
// gets the page corrected, or the photo marked as one without a page.
void ScanWindow::findPhotoPage(std::uint64_t id) {
    const Page* page = pages_.find(id);
    if (!page)
        return;
    const SourcePtr source = page->source;
    const ColourMode mode = page->mode;
    photoThumbnails_[source.get()] = thumbnails_[id];
    worker_->task([this, id, source, mode]() -> std::function<void()> {
        auto outcome = std::make_shared<Outcome>();
        outcome->photo = std::make_shared<PagePhoto>();
        PagePhoto& photo = *outcome->photo;
        photo.original = source;
        photo.originalMode = mode;
        photo.corners = WholeImage(source->info().width, source->info().height);
        if (const std::optional<Raster> pixels = source->decode(0, 0)) {
            photo.finding = FindPage(*pixels);
            if (photo.finding.found) {
                photo.corners = photo.finding.corners;
                outcome->corrected = CorrectPhoto(*pixels, photo.corners, photo.cleaning);
                photo.corrected = outcome->corrected.has_value();
            }
        }
        return [this, id, outcome] {
            const std::optional<std::size_t> i = indexOf(id);
            if (!i)
                return;
            Page page = pages_.at(*i);
            page.photo = outcome->photo;
            std::optional<Raster> preview;
            if (outcome->corrected) {
                page.source = outcome->corrected->source;
                page.mode = outcome->corrected->mode;
                page.images = {};
                preview = std::move(outcome->corrected->preview);
            }
            replacePage(id, std::move(page), preview ? &*preview : nullptr);
        };
    });
}

// The photo corrected again with these corners and this cleaning.
void ScanWindow::correctPhoto(std::uint64_t id, const Corners& corners, Cleaning cleaning) {
    const Page* page = pages_.find(id);
    if (!page || !page->photo)
        return;
    auto state = std::make_shared<PagePhoto>(*page->photo);
    state->corners = corners;
    state->cleaning = cleaning;
    worker_->task([this, id, state]() -> std::function<void()> {
        std::optional<CorrectedPage> corrected;
        if (const std::optional<Raster> pixels = state->original->decode(0, 0))
            corrected = CorrectPhoto(*pixels, state->corners, state->cleaning);
        auto result = std::make_shared<std::optional<CorrectedPage>>(std::move(corrected));
        return [this, id, state, result] {
            const std::optional<std::size_t> i = indexOf(id);
            if (!i)
                return;
            if (!*result) {
                platform::Notify("无法校正该页照片。", "提示", platform::MsgIcon::Exclamation);
                return;
            }
            Page page = pages_.at(*i);
            state->corrected = true;
            page.photo = state;
            page.source = (*result)->source;
            page.mode = (*result)->mode;
            page.images = {};
            replacePage(id, std::move(page), &(*result)->preview);
        };
    });
    updateButtons();
}

void ScanWindow::replacePage(std::uint64_t id, Page page, const Raster* preview) {
    const std::optional<std::size_t> i = indexOf(id);
    if (!i)
        return;
    const int current = currentPage();
    QPixmap thumb = preview ? QPixmap::fromImage(ToQImage(*preview).scaled(
                                  kThumb, kThumb, Qt::KeepAspectRatio, Qt::SmoothTransformation))
                            : thumbnails_[pages_.at(*i).id];
    const std::uint64_t oldId = pages_.at(*i).id;
    worker_->drop(oldId);
    forgetText(oldId);
    if (page.source != pages_.at(*i).source) {
        // The text was read from the picture this one replaces: read again.
        page.text.reset();
        page.turn.detected = 0;
    }
    const std::uint64_t newId = pages_.replace(*i, std::move(page));
    replaced_[oldId] = newId;
    thumbnails_.erase(oldId);
    thumbnails_[newId] = thumb;
    encodeAll(newId);
    refresh(current);
}

void ScanWindow::applyCorners(int index, const Corners& corners) {
    if (index < 0 || static_cast<std::size_t>(index) >= pages_.size())
        return;
    const Page& page = pages_.at(static_cast<std::size_t>(index));
    if (page.photo)
        correctPhoto(page.id, corners, page.photo->cleaning);
}

void ScanWindow::adjustPage() {
    const int i = currentPage();
    if (i < 0 || static_cast<std::size_t>(i) >= pages_.size())
        return;
    const Page& page = pages_.at(static_cast<std::size_t>(i));
    if (!page.photo)
        return;
    const std::uint64_t id = page.id;
    const SourceInfo& info = page.photo->original->info();
    DecodeFailure failure = DecodeFailure::None;
    const std::optional<Raster> pixels = page.photo->original->decode(
        std::min(info.width, kEditorSide), std::min(info.height, kEditorSide), &failure);
    if (!pixels) {
        platform::Notify(DecodeFailureMessage(failure, info), "提示",
                         platform::MsgIcon::Exclamation);
        return;
    }
    int w = pixels->width, h = pixels->height;
    FitWithin(w, h, kEditorSide, kEditorSide, w, h);
    PageCornersDialog dialog(ToQImage(Downsample(*pixels, w, h)), info.width, info.height,
                             page.photo->corners, page.turn.file, this);
    if (dialog.exec() == QDialog::Accepted) {
        if (const std::optional<std::size_t> at = indexOf(id))
            applyCorners(static_cast<int>(*at), dialog.corners());
    }
}

void ScanWindow::undoCorrection() {
    const int i = currentPage();
    if (i < 0 || static_cast<std::size_t>(i) >= pages_.size())
        return;
    Page page = pages_.at(static_cast<std::size_t>(i));
    if (!page.photo || !page.photo->corrected)
        return;
    auto state = std::make_shared<PagePhoto>(*page.photo);
    state->corrected = false;
    page.source = state->original;
    page.mode = state->originalMode;
    page.images = {};
    page.photo = state;
    const std::uint64_t id = page.id;
    const auto thumb = photoThumbnails_.find(state->original.get());
    if (thumb != photoThumbnails_.end())
        thumbnails_[id] = thumb->second;
    replacePage(id, std::move(page), nullptr);
}

void ScanWindow::setCleaning(Cleaning cleaning, bool allPages) {
    {
        const QSignalBlocker block(cleaning_);
        cleaning_->setCurrentIndex(static_cast<int>(cleaning));
    }
    const int current = currentPage();
    std::vector<std::uint64_t> ids;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const Page& page = pages_.at(i);
        if (!page.photo)
            continue;
        // For all photos: those kept as they are (no page found) stay so.
        if (allPages ? (page.photo->corrected || page.photo->finding.found) &&
                           (page.photo->cleaning != cleaning || !page.photo->corrected)
                     : static_cast<int>(i) == current)
            ids.push_back(page.id);
    }
    for (std::uint64_t id : ids)
        correctPhoto(id, pages_.find(id)->photo->corners, cleaning);
}

} // namespace scan::ui
