#pragma once
// Scripted prompter for tests: records every request and gives queued answers.
// A request without a queued answer gets Ok/Yes-first defaults and cancelled dialogs.

#include "platform/prompter.h"
#include "twip/printer.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct RecordedMessage {
    std::string text;
    std::string title;
    platform::MsgIcon icon;
    platform::MsgButtons buttons;
};

class FakePrompter : public platform::Prompter {
  public:
    std::vector<RecordedMessage> messages;
    std::vector<platform::FileDialogRequest> openRequests, saveRequests;
    std::vector<std::string> folderRequests;
    std::deque<platform::MsgAnswer> answers;
    std::deque<std::optional<std::string>> openAnswers, saveAnswers, folderAnswers;
    int printers = 1;
    // Printer set-up: how often it was asked for, the answers (none queued:
    // cancelled) and what the "user" changes on the printer when confirming.
    int printerSetupRequests = 0;
    std::deque<bool> printerSetupAnswers;
    std::function<void(twip::Printer&)> printerSetupChoice;
    // Print previews asked for; `previewAction` (when set) plays the user.
    std::vector<platform::PreviewRequest> previewRequests;
    std::function<void(const platform::PreviewRequest&)> previewAction;

    platform::MsgAnswer message(const std::string& text, const std::string& title,
                                platform::MsgIcon icon, platform::MsgButtons buttons) override {
        messages.push_back({text, title, icon, buttons});
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == platform::MsgButtons::Ok || buttons == platform::MsgButtons::OkCancel
                   ? platform::MsgAnswer::Ok
                   : platform::MsgAnswer::Yes;
    }
    std::optional<std::string> openFile(const platform::FileDialogRequest& r) override {
        openRequests.push_back(r);
        return pop(openAnswers);
    }
    std::optional<std::string> saveFile(const platform::FileDialogRequest& r) override {
        saveRequests.push_back(r);
        return pop(saveAnswers);
    }
    std::optional<std::string> pickFolder(const std::string& title, const std::string&) override {
        folderRequests.push_back(title);
        return pop(folderAnswers);
    }
    int printerCount() override { return printers; }
    bool printerSetup(twip::Printer& printer) override {
        ++printerSetupRequests;
        if (printerSetupAnswers.empty())
            return false;
        const bool confirmed = printerSetupAnswers.front();
        printerSetupAnswers.pop_front();
        if (confirmed && printerSetupChoice)
            printerSetupChoice(printer);
        return confirmed;
    }

    void printPreview(const platform::PreviewRequest& request) override {
        previewRequests.push_back(request);
        if (previewAction)
            previewAction(request);
    }

  private:
    static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q) {
        if (q.empty())
            return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

// Installs a fresh fake for the lifetime of the guard.
class ScopedFakePrompter {
  public:
    ScopedFakePrompter() : fake_(std::make_shared<FakePrompter>()) {
        previous_ = platform::SetPrompter(fake_);
    }
    ~ScopedFakePrompter() { platform::SetPrompter(previous_); }
    FakePrompter& operator*() { return *fake_; }
    FakePrompter* operator->() { return fake_.get(); }

  private:
    std::shared_ptr<FakePrompter> fake_;
    std::shared_ptr<platform::Prompter> previous_;
};

} // namespace testsupport
