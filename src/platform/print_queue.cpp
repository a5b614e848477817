#include "platform/print_queue.h"

#include "platform/program_module.h"

#include <algorithm>
#include <thread>

namespace platform {
namespace {

// The module's functions (platform/cups/print_queue_cups.cpp).
using QueueStateFunction = bool (*)(const std::string& queue, QueueState& state);
using SubmitFunction = int (*)(const PrintJob& job, std::string& error);
using JobStateFunction = bool (*)(int job, JobState& state);

struct PrintSystem {
    QueueStateFunction queueState = nullptr;
    SubmitFunction submit = nullptr;
    JobStateFunction jobState = nullptr;
    bool complete() const { return queueState && submit && jobState; }
};

const PrintSystem& System() {
    static const PrintSystem system = [] {
        PrintSystem found;
#ifndef _WIN32 // Windows prints through its own spooler, which Qt drives
        found.queueState =
            ModuleFunction<QueueStateFunction>("quillor-cups", "quillor_queue_state");
        found.submit = ModuleFunction<SubmitFunction>("quillor-cups", "quillor_submit_job");
        found.jobState = ModuleFunction<JobStateFunction>("quillor-cups", "quillor_job_state");
#endif
        return found;
    }();
    return system;
}

// Printer-state-reasons keywords (without their -error, -warning or -report
// ending) the user can act on.
struct ReasonText {
    const char* keyword;
    const char* text;
};
const ReasonText kReasonTexts[] = {
    {"media-empty", "打印机缺纸"},
    {"media-needed", "打印机缺纸"},
    {"media-jam", "打印机卡纸"},
    {"toner-empty", "墨粉已用完"},
    {"marker-supply-empty", "墨粉或墨水已用完"},
    {"door-open", "打印机的门或盖板打开着"},
    {"cover-open", "打印机的门或盖板打开着"},
    {"offline", "打印机未连接或已脱机"},
    {"timed-out", "连接打印机超时"},
    {"shutdown", "打印机已关闭"},
    {"paused", "打印队列已被暂停"},
    {"cups-missing-filter", "缺少这台打印机所需的驱动程序"},
};

std::string Keyword(std::string reason) {
    for (const char* ending : {"-error", "-warning", "-report"}) {
        const std::string tail(ending);
        if (reason.size() > tail.size() &&
            reason.compare(reason.size() - tail.size(), tail.size(), tail) == 0) {
            reason.erase(reason.size() - tail.size());
            break;
        }
    }
    return reason;
}

std::string WithDetail(std::string text, const std::string& detail) {
    return detail.empty() ? text : text + "：" + detail;
}

std::string UnreachableText(const std::string& error) {
    return WithDetail("无法连接打印服务", error);
}

bool Waiting(JobState::Value state) {
    return state == JobState::Pending || state == JobState::Held || state == JobState::Stopped ||
           state == JobState::Processing;
}

bool HeldAsAsked(const JobState& job) {
    return std::find(job.reasons.begin(), job.reasons.end(), "job-hold-until-specified") !=
           job.reasons.end();
}

JobReport FailedJob(const JobState& job) {
    const bool cancelled = job.state == JobState::Canceled;
    const std::string text = cancelled ? "打印作业已被取消" : "打印系统中止了这份打印作业";
    return {JobReport::Outcome::Failed, WithDetail(text, job.message)};
}

} // namespace

std::string QueueReasonText(const std::vector<std::string>& reasons, const std::string& message) {
    std::vector<std::string> parts;
    for (const std::string& reason : reasons) {
        const std::string keyword = Keyword(reason);
        for (const ReasonText& known : kReasonTexts)
            if (keyword == known.keyword &&
                std::find(parts.begin(), parts.end(), known.text) == parts.end())
                parts.emplace_back(known.text);
    }
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "，") + part;
    if (message.empty())
        return text;
    return text.empty() ? message : text + "（" + message + "）";
}

bool HavePrintSystem() {
    return System().complete();
}

JobReport QueueReadiness(const std::string& queue) {
    const PrintSystem& system = System();
    if (!system.complete())
        return {};
    QueueState state;
    if (!system.queueState(queue, state) || !state.reached)
        return {JobReport::Outcome::Refused, UnreachableText(state.error)};
    if (!state.exists)
        return {JobReport::Outcome::Refused, "打印系统中已经没有这台打印机"};
    if (!state.accepting)
        return {JobReport::Outcome::Refused,
                WithDetail("打印机被设置为不接受打印作业",
                           QueueReasonText(state.reasons, state.message))};
    return {};
}

JobReport SendPrintJob(const PrintJob& job, std::chrono::milliseconds watch) {
    const PrintSystem& system = System();
    if (!system.complete())
        return {};
    std::string error;
    const int id = system.submit(job, error);
    if (id <= 0)
        return {JobReport::Outcome::Refused, WithDetail("打印系统没有接受这份打印作业", error)};
    const auto deadline = std::chrono::steady_clock::now() + watch;
    while (true) {
        JobState state;
        const bool known = system.jobState(id, state);
        if (known && state.state == JobState::Completed)
            return {JobReport::Outcome::Sent, {}};
        if (known && (state.state == JobState::Canceled || state.state == JobState::Aborted))
            return FailedJob(state);
        QueueState queue;
        const bool stoppedQueue =
            system.queueState(job.queue, queue) && queue.reached && queue.stopped;
        if (stoppedQueue && (!known || Waiting(state.state)))
            return {JobReport::Outcome::Held, QueueReasonText(queue.reasons, queue.message)};
        // A job stopped in the middle, or held by the print system (a device
        // that cannot be opened, to be tried again later), waits like one at
        // a stopped printer; one held as asked for is merely queued.
        if (known && (state.state == JobState::Stopped ||
                      (state.state == JobState::Held && !HeldAsAsked(state))))
            return {JobReport::Outcome::Held, state.message.empty()
                                                  ? QueueReasonText(queue.reasons, queue.message)
                                                  : state.message};
        if (std::chrono::steady_clock::now() >= deadline)
            return {JobReport::Outcome::Sent, {}};
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace platform
