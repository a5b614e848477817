#include "scan/ui/text_worker.h"

#include <QMetaObject>

#include <algorithm>
#include <memory>
#include <new>

namespace scan::ui {

TextWorker::TextWorker(Done done, QObject* parent) : QObject(parent), done_(std::move(done)) {
    thread_ = std::thread([this] { run(); });
}

TextWorker::~TextWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
        cancel_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TextWorker::recognise(std::uint64_t page, SourcePtr source, int fileTurn, bool scanned) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({page, std::move(source), fileTurn, scanned});
    }
    ++outstanding_;
    wake_.notify_one();
}

void TextWorker::drop(std::uint64_t page) {
    std::lock_guard lock(mutex_);
    const auto it =
        std::find_if(jobs_.begin(), jobs_.end(), [page](const Job& j) { return j.page == page; });
    if (it != jobs_.end()) {
        jobs_.erase(it);
        --outstanding_;
    } else if (running_ == page) {
        cancel_ = true; // answered as stopped; the window has forgotten the page
    }
}

void TextWorker::stop() {
    std::deque<Job> forgotten;
    {
        std::lock_guard lock(mutex_);
        forgotten.swap(jobs_);
        if (running_)
            cancel_ = true;
    }
    OcrResult stopped;
    stopped.outcome = OcrOutcome::Stopped;
    for (const Job& job : forgotten) {
        --outstanding_;
        done_(job.page, stopped, {});
    }
}

void TextWorker::run() {
    std::unique_ptr<TextRecogniser> engine;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = job.page;
            cancel_ = false;
        }
        if (!engine)
            engine = std::make_unique<TextRecogniser>();
        OcrResult result;
        std::string error = engine->error();
        if (engine->ready()) {
            try {
                result = engine->recognise(*job.source, job.fileTurn, job.scanned, &cancel_);
            } catch (const std::bad_alloc&) {
                error = "内存不足，无法识别该页的文字。";
            } catch (const std::exception&) {
                error = "无法识别该页的文字。";
            }
        }
        job.source.reset(); // the worker holds no page between jobs
        {
            std::lock_guard lock(mutex_);
            running_ = 0;
        }
        QMetaObject::invokeMethod(
            this,
            [this, page = job.page, result, error] {
                --outstanding_;
                done_(page, result, error);
            },
            Qt::QueuedConnection);
    }
}

} // namespace scan::ui
