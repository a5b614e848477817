#pragma once
// A prompter without dialogs, for runs where nobody can answer one (the
// start-up check): every message is written to a stream, every question gets
// its cautious answer (Cancel / No), every file or folder dialog is cancelled.

#include "platform/prompter.h"

#include <ostream>

namespace platform {

class ConsolePrompter final : public Prompter {
  public:
    explicit ConsolePrompter(std::ostream& out) : out_(out) {}
    MsgAnswer message(const std::string& text, const std::string& title, MsgIcon icon,
                      MsgButtons buttons) override;
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> pickFolder(const std::string&, const std::string&) override {
        return {};
    }
    int printerCount() override { return 0; }

  private:
    std::ostream& out_;
};

} // namespace platform
