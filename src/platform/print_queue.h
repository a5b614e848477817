#pragma once
// The print system's queues and jobs, asked directly: whether a queue takes
// jobs, handing a PDF to it, and what became of the job shortly after. Qt's
// print support hands a job to a queue that refuses it without a word and
// never says what became of it; the print action asks here instead. CUPS in
// the module quillor-cups (platform/cups/); without the module (or on a
// system without CUPS) nothing can be asked and every answer is Unknown.

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// What the print system says of a printer or of the last job sent to it.
struct JobReport {
    enum class Outcome {
        Unknown, // nothing to ask, or no answer
        Sent,    // the print system has the job: it is printing, waiting or done
        Refused, // the printer takes no job now: nothing was printed
        Held,    // the job waits at a stopped printer
        Failed,  // the print system gave the job up: it does not print
    };
    Outcome outcome = Outcome::Unknown;
    std::string reason; // for the user, in Chinese; may be empty
};

// A queue as the print system describes it.
struct QueueState {
    bool reached = false; // the print system answered
    bool exists = false;
    bool accepting = false;
    bool stopped = false;
    std::string message;              // the printer's own words (printer-state-message)
    std::vector<std::string> reasons; // keywords (printer-state-reasons), "none" left out
    std::string error;                // why the print system did not answer
};

// A job as the print system describes it. The states are IPP's job-state.
struct JobState {
    enum Value {
        Unknown = 0,
        Pending = 3,
        Held = 4,
        Processing = 5,
        Stopped = 6,
        Canceled = 7,
        Aborted = 8,
        Completed = 9
    };
    Value state = Unknown;
    std::string message;              // job-printer-state-message
    std::vector<std::string> reasons; // job-state-reasons
};

// A PDF file for a queue, with the job options of the print system (media,
// copies, sides, page-ranges, ...).
struct PrintJob {
    std::string queue;
    std::filesystem::path pdf;
    std::string title;
    std::vector<std::pair<std::string, std::string>> options;
};

// Whether queues can be asked here at all (the module is there).
bool HavePrintSystem();

// Whether `queue` takes a job now: Refused with the reason when it does not
// (missing, refusing jobs, print system out of reach); Unknown when nothing
// can be asked; Sent when it does.
JobReport QueueReadiness(const std::string& queue);

// Hands the PDF to the queue and follows the job for at most `watch`: Refused
// (with the print system's reason) when it was not taken; Failed when the
// print system gave it up; Held when it waits at a stopped printer; Sent when
// it is done, or still printing or waiting at a printer that works.
JobReport SendPrintJob(const PrintJob& job,
                       std::chrono::milliseconds watch = std::chrono::milliseconds(2000));

// The reason a printer gives, for the user: its reason keywords in Chinese
// where they are known, then its own message.
std::string QueueReasonText(const std::vector<std::string>& reasons, const std::string& message);

} // namespace platform
