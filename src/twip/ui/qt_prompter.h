#pragma once
// The prompter of the running program: Qt message boxes and file dialogs,
// printers from the system's print service.

#include "platform/prompter.h"

#include <QString>

#include <functional>

namespace twip::ui {

// "描述|*.a;*.b|描述2|*.*" → "描述 (*.a *.b);;描述2 (*.*)". A description that
// already shows its patterns in parentheses is kept as it is.
QString ToQtFilter(const std::string& filter);

class QtPrompter final : public platform::Prompter {
  public:
    // The program's own folder picker; without one a Qt folder dialog is used.
    using FolderPicker = std::function<std::optional<std::string>(const std::string& title,
                                                                  const std::string& initialDir)>;
    void setFolderPicker(FolderPicker picker) { folderPicker_ = std::move(picker); }
    // The title of a message box asked for without one: the program's name.
    void setDefaultTitle(const QString& title) { defaultTitle_ = title; }
    QString titleFor(const std::string& title) const;

    platform::MsgAnswer message(const std::string& text, const std::string& title,
                                platform::MsgIcon icon, platform::MsgButtons buttons) override;
    std::optional<std::string> openFile(const platform::FileDialogRequest& request) override;
    std::vector<std::string> openFiles(const platform::FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const platform::FileDialogRequest& request) override;
    std::optional<std::string> pickFolder(const std::string& title,
                                          const std::string& initialDir) override;
    int printerCount() override;
    // Qt's print dialog on a QtPrinter; any other printer has no dialog.
    bool printerSetup(Printer& printer) override;
    // The preview window of print_preview.h.
    void printPreview(const platform::PreviewRequest& request) override;

  private:
    FolderPicker folderPicker_;
    QString defaultTitle_;
};

} // namespace twip::ui
