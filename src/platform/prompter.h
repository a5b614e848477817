#pragma once
// Every message box, question, file dialog, folder picker and printer count of
// the program goes through one Prompter. The program installs a Qt one; tests
// install a scripted fake that records what was asked and gives the answers.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The printer adaptor of the twip layer; the prompter only passes it on.
namespace twip {
class Printer;
}

namespace platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct FileDialogRequest {
    std::string title;
    std::string filter; // "描述|*.a;*.b|描述2|*.*" as the windows give it
    std::string initialDir;
    std::string proposedName; // file-save only
};

// A print preview: `draw` puts the job onto the printer it is given, exactly
// as the window's "打 印" draws it; from the preview the user prints it
// (`print`, the window's own print action) or saves it as a PDF file.
struct PreviewRequest {
    std::string title;
    std::string pdfName;              // proposed name of the PDF file
    twip::Printer* printer = nullptr; // the printer "打 印" uses; null: the default one
    std::function<bool(twip::Printer&)> draw;
    std::function<void()> print;
};

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual MsgAnswer message(const std::string& text, const std::string& title, MsgIcon icon,
                              MsgButtons buttons) = 0;
    // Empty result: the user cancelled.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    // Several files at once (empty: cancelled). Without a dialog of its own:
    // the one file of openFile.
    virtual std::vector<std::string> openFiles(const FileDialogRequest& request) {
        std::optional<std::string> one = openFile(request);
        if (!one || one->empty())
            return {};
        return {*one};
    }
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> pickFolder(const std::string& title,
                                                  const std::string& initialDir) = 0;
    virtual int printerCount() = 0;
    // The printer set-up dialog for `printer` (which printer, paper,
    // orientation); what the user chooses stays with that printer object.
    // False when the user cancelled. Without a dialog: cancelled.
    virtual bool printerSetup(twip::Printer& printer) {
        (void)printer;
        return false;
    }
    // Shows the preview until the user closes it. Without a dialog: nothing.
    virtual void printPreview(const PreviewRequest& request) { (void)request; }
};

// The prompter the program uses now. Never null after SetPrompter.
Prompter& CurrentPrompter();
// Installs a prompter and returns the previous one (for tests that swap it).
std::shared_ptr<Prompter> SetPrompter(std::shared_ptr<Prompter> prompter);

// Shorthand for a plain notice or error with an OK button.
inline void Notify(const std::string& text, const std::string& title, MsgIcon icon) {
    CurrentPrompter().message(text, title, icon, MsgButtons::Ok);
}

} // namespace platform
