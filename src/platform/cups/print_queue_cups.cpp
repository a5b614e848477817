// CUPS (libcups) behind platform/print_queue.h: a queue's state, handing a
// PDF to a queue, a job's state. Built into the module quillor-cups
// (platform/print_queue.cpp opens it). Every request goes to the print
// server libcups is set up for (CUPS_SERVER, client.conf, the local one).

#include "platform/print_queue.h"
#include "platform/program_module.h"

#include <cups/cups.h>

#include <memory>

namespace platform::cups {
namespace {

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

class Options {
  public:
    ~Options() { cupsFreeOptions(count_, options_); }
    void add(const std::string& name, const std::string& value) {
        count_ = cupsAddOption(name.c_str(), value.c_str(), count_, &options_);
    }
    int count() const { return count_; }
    cups_option_t* get() const { return options_; }

  private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

std::string Uri(const char* format, const std::string& value) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     format, value.c_str());
    return uri;
}

// The attributes asked for, with the object's URI, answered by the server:
// null when the request failed (cupsLastError says why).
Ipp Ask(ipp_op_t operation, const char* uriName, const std::string& uri,
        const std::vector<const char*>& wanted) {
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(wanted.size()), nullptr, wanted.data());
    Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/")); // frees the request
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        return nullptr;
    return response;
}

std::string Text(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    const char* text = attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
    return text ? text : "";
}

std::vector<std::string> Keywords(ipp_t* response, const char* name) {
    std::vector<std::string> keywords;
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_KEYWORD);
    for (int i = 0; attribute && i < ippGetCount(attribute); ++i) {
        const char* keyword = ippGetString(attribute, i, nullptr);
        if (keyword && std::string(keyword) != "none")
            keywords.emplace_back(keyword);
    }
    return keywords;
}

int Integer(ipp_t* response, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ENUM);
    return attribute ? ippGetInteger(attribute, 0) : 0;
}

} // namespace
} // namespace platform::cups

using namespace platform::cups;

extern "C" QUILLOR_MODULE_EXPORT bool quillor_queue_state(const std::string& queue,
                                                          platform::QueueState& state) {
    const Ipp response =
        Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", Uri("/printers/%s", queue),
            {"printer-is-accepting-jobs", "printer-state", "printer-state-message",
             "printer-state-reasons"});
    if (!response) {
        state.reached = cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        state.exists = false;
        state.error = cupsLastErrorString();
        return state.reached;
    }
    state.reached = true;
    state.exists = true;
    ipp_attribute_t* accepting =
        ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    state.accepting = accepting && ippGetBoolean(accepting, 0);
    state.stopped = Integer(response.get(), "printer-state") == IPP_PSTATE_STOPPED;
    state.message = Text(response.get(), "printer-state-message");
    state.reasons = Keywords(response.get(), "printer-state-reasons");
    return true;
}

extern "C" QUILLOR_MODULE_EXPORT int quillor_submit_job(const platform::PrintJob& job,
                                                        std::string& error) {
    Options options;
    for (const auto& [name, value] : job.options)
        options.add(name, value);
    const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, job.queue.c_str(), job.pdf.c_str(),
                                  job.title.c_str(), options.count(), options.get());
    if (id <= 0)
        error = cupsLastErrorString();
    return id;
}

extern "C" QUILLOR_MODULE_EXPORT bool quillor_job_state(int job, platform::JobState& state) {
    const Ipp response =
        Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", Uri("/jobs/%s", std::to_string(job)),
            {"job-state", "job-state-reasons", "job-printer-state-message"});
    if (!response)
        return false;
    state.state = static_cast<platform::JobState::Value>(Integer(response.get(), "job-state"));
    state.message = Text(response.get(), "job-printer-state-message");
    state.reasons = Keywords(response.get(), "job-state-reasons");
    return true;
}
