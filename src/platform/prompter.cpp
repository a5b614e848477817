#include "platform/prompter.h"

#include <utility>

namespace platform {
namespace {

// Used until the program installs a real prompter: answers every question with
// its first button and cancels every dialog, so nothing can block.
class SilentPrompter final : public Prompter {
  public:
    MsgAnswer message(const std::string&, const std::string&, MsgIcon,
                      MsgButtons buttons) override {
        return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok
                                                                            : MsgAnswer::Yes;
    }
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> pickFolder(const std::string&, const std::string&) override {
        return {};
    }
    int printerCount() override { return 0; }
};

std::shared_ptr<Prompter>& Installed() {
    static std::shared_ptr<Prompter> installed = std::make_shared<SilentPrompter>();
    return installed;
}

} // namespace

Prompter& CurrentPrompter() {
    return *Installed();
}

std::shared_ptr<Prompter> SetPrompter(std::shared_ptr<Prompter> prompter) {
    return std::exchange(Installed(), std::move(prompter));
}

} // namespace platform
