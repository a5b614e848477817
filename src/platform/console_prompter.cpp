#include "platform/console_prompter.h"

namespace platform {

MsgAnswer ConsolePrompter::message(const std::string& text, const std::string& title,
                                   MsgIcon /*icon*/, MsgButtons buttons) {
    out_ << "[" << title << "] " << text << std::endl;
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgAnswer::Ok;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
        break;
    }
    return MsgAnswer::Cancel;
}

} // namespace platform
