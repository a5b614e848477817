#include "scan/ui/page_worker.h"

#include <QMetaObject>

#include <algorithm>
#include <new>

namespace scan::ui {

PageWorker::PageWorker(Loaded loaded, Encoded encoded, QObject* parent)
    : QObject(parent), loaded_(std::move(loaded)), encoded_(std::move(encoded)) {
    thread_ = std::thread([this] { run(); });
}

PageWorker::~PageWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void PageWorker::load(const std::string& path) {
    Job job;
    job.file = true;
    job.path = path;
    {
        std::lock_guard lock(mutex_);
        // After the files already waiting, before every encoding.
        const auto at =
            std::find_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return !j.early(); });
        jobs_.insert(at, std::move(job));
    }
    ++outstanding_;
    ++filesOutstanding_;
    wake_.notify_one();
}

void PageWorker::task(Task work) {
    Job job;
    job.work = std::move(work);
    {
        std::lock_guard lock(mutex_);
        const auto at =
            std::find_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return !j.early(); });
        jobs_.insert(at, std::move(job));
    }
    ++outstanding_;
    wake_.notify_one();
}

void PageWorker::encode(std::uint64_t page, SourcePtr source, ColourMode mode, bool scanned,
                        Quality q) {
    Job job;
    job.page = page;
    job.source = std::move(source);
    job.mode = mode;
    job.scanned = scanned;
    job.quality = q;
    {
        std::lock_guard lock(mutex_);
        dropped_.erase(page);
        jobs_.push_back(std::move(job));
    }
    ++outstanding_;
    wake_.notify_one();
}

void PageWorker::drop(std::uint64_t page) {
    std::lock_guard lock(mutex_);
    dropped_.insert(page);
}

// Files first, then the preferred preset's encodings, then the rest; a
// dropped page's jobs are answered with nothing.
bool PageWorker::next(Job& job) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_)
        return false;
    auto it = jobs_.begin();
    if (!it->early()) {
        const auto preferred = static_cast<Quality>(preferred_.load());
        const auto first = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) {
            return j.early() || j.quality == preferred;
        });
        if (first != jobs_.end())
            it = first;
    }
    job = std::move(*it);
    jobs_.erase(it);
    if (!job.early() && dropped_.count(job.page))
        job.source.reset(); // answered without work
    return true;
}

void PageWorker::answered(bool file) {
    --outstanding_;
    if (file)
        --filesOutstanding_;
}

void PageWorker::run() {
    Job job;
    while (next(job)) {
        if (job.work)
            runTask(job);
        else if (job.file)
            loadFile(job);
        else
            encodeJob(job);
    }
}

// A task: its work here, what it hands back on the window's thread.
void PageWorker::runTask(Job& job) {
    std::function<void()> done;
    try {
        done = job.work();
    } catch (const std::exception&) {
        done = nullptr; // the page stays as it was
    }
    job.work = nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, done] {
            answered(false);
            if (done)
                done();
        },
        Qt::QueuedConnection);
}

// An image file read into pages.
void PageWorker::loadFile(const Job& job) {
    std::string error;
    std::vector<LoadedPage> pages;
    try {
        pages = LoadImageFile(job.path, error, static_cast<Quality>(preferred_.load()));
    } catch (const std::bad_alloc&) {
        pages.clear();
        error = "内存不足，无法读取该图片。";
    } catch (const std::exception&) {
        pages.clear();
        error = "无法读取该图片。";
    }
    auto result = std::make_shared<std::vector<LoadedPage>>(std::move(pages));
    QMetaObject::invokeMethod(
        this,
        [this, path = job.path, result, error] {
            answered(true);
            loaded_(path, std::move(*result), error);
        },
        Qt::QueuedConnection);
}

// A page encoded in the job's quality.
void PageWorker::encodeJob(Job& job) {
    std::shared_ptr<const PdfImage> image;
    std::string error;
    if (job.source) {
        DecodeFailure failure = DecodeFailure::None;
        try {
            image = EncodePage(*job.source, job.mode, job.scanned, job.quality, &failure);
            if (!image)
                error = DecodeFailureMessage(failure, job.source->info());
        } catch (const std::bad_alloc&) {
            error = "内存不足，无法处理该页。";
        } catch (const std::exception&) {
            error = "无法处理该页。";
        }
    }
    job.source.reset(); // the worker holds no page between jobs
    QMetaObject::invokeMethod(
        this,
        [this, page = job.page, q = job.quality, image, error] {
            answered(false);
            encoded_(page, q, image, error);
        },
        Qt::QueuedConnection);
}

} // namespace scan::ui
