#include "startup/ui/app_main.h"

#include "accessimport/jet_import.h"
#include "accessimport/ui/jet_runner.h"
#include "dialogs/ui/selpath.h"
#include "platform/console_prompter.h"
#include "platform/executable.h"
#include "platform/instance_lock.h"
#include "platform/ui/qt_translation.h"
#include "platform/utf8.h"
#include "startup/command_line.h"
#include "startup/data_folder.h"
#include "startup/mainbas.h"
#include "startup/ui/frmmain.h"
#include "twip/ui/error_barrier.h"
#include "twip/ui/qt_prompter.h"
#include "util/ui/fonts.h"

#include <QApplication>
#include <QEvent>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

namespace startup::ui {

namespace {

namespace fs = std::filesystem;

// Longest wait for the main window's first paint in a start-up check.
constexpr int kCheckTimeoutMs = 60000;

fs::path FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// Qt's Chinese texts serve its dialogs, not the main window: they are loaded
// right after its first paint, or before the first dialog if one comes sooner.
void EnsureQtChinese() {
    static bool loaded = false;
    if (loaded || QCoreApplication::instance() == nullptr)
        return;
    loaded = true;
    platform::ui::LoadQtChinese(*QCoreApplication::instance(),
                                QCoreApplication::applicationDirPath());
}

// Reading the font configuration (fontconfig's own files, then the program's
// aliases of the Windows face names) takes several milliseconds and needs
// nothing else of the start-up: it runs on a thread of its own while the
// application, the data folder and the catalogue are set up, and is waited
// for before the first window or dialog shows any text.
class FontSetUp {
  public:
    explicit FontSetUp(std::filesystem::path aliasFile)
        : thread_([file = std::move(aliasFile)] { util::ui::LoadFontAliases(file); }) {}
    // Called on the main thread only.
    void wait() {
        if (thread_.joinable())
            thread_.join();
    }

  private:
    std::jthread thread_;
};

// Waits for the font thread when it goes. Declared right after the
// application object, it goes first on every return, so that the application
// is never destroyed while the thread is still inside fontconfig (which
// corrupted the heap now and then when start-up ended early).
class FontSetUpDone {
  public:
    explicit FontSetUpDone(FontSetUp& fonts) : fonts_(fonts) {}
    ~FontSetUpDone() { fonts_.wait(); }
    FontSetUpDone(const FontSetUpDone&) = delete;
    FontSetUpDone& operator=(const FontSetUpDone&) = delete;

  private:
    FontSetUp& fonts_;
};

// The prompter of the windows, with the fonts and Qt's Chinese texts in place
// before it shows anything.
class ChineseDialogs final : public platform::Prompter {
  public:
    ChineseDialogs(std::shared_ptr<platform::Prompter> inner, std::shared_ptr<FontSetUp> fonts)
        : inner_(std::move(inner)), fonts_(std::move(fonts)) {}
    platform::MsgAnswer message(const std::string& text, const std::string& title,
                                platform::MsgIcon icon, platform::MsgButtons buttons) override {
        ready();
        return inner_->message(text, title, icon, buttons);
    }
    std::optional<std::string> openFile(const platform::FileDialogRequest& request) override {
        ready();
        return inner_->openFile(request);
    }
    std::optional<std::string> saveFile(const platform::FileDialogRequest& request) override {
        ready();
        return inner_->saveFile(request);
    }
    std::optional<std::string> pickFolder(const std::string& title,
                                          const std::string& initialDir) override {
        ready();
        return inner_->pickFolder(title, initialDir);
    }
    int printerCount() override { return inner_->printerCount(); }
    bool printerSetup(twip::Printer& printer) override {
        ready();
        return inner_->printerSetup(printer);
    }
    void printPreview(const platform::PreviewRequest& request) override {
        ready();
        inner_->printPreview(request);
    }

  private:
    void ready() {
        fonts_->wait();
        EnsureQtChinese();
    }

    std::shared_ptr<platform::Prompter> inner_;
    std::shared_ptr<FontSetUp> fonts_;
};

void InstallPrompter(bool withoutDialogs, std::shared_ptr<FontSetUp> fonts) {
    if (withoutDialogs) {
        platform::SetPrompter(std::make_shared<platform::ConsolePrompter>(std::cerr));
        return;
    }
    auto prompter = std::make_shared<twip::ui::QtPrompter>();
    prompter->setDefaultTitle(ProductTitle());
    prompter->setFolderPicker([](const std::string&, const std::string& initialDir) {
        return dialogs::ui::RunFolderPicker(QApplication::activeWindow(), initialDir);
    });
    platform::SetPrompter(std::make_shared<ChineseDialogs>(prompter, std::move(fonts)));
}

// An Access/Jet template database is converted once into the program's own store
// (the conversion shows its progress: fonts and Qt's texts first).
bool PrepareDatabase(const std::filesystem::path& database, FontSetUp& fonts) {
    accessimport::JetImportRunner runner = accessimport::ui::MakeChildImportRunner();
    const accessimport::JetImportOutcome outcome = accessimport::ConvertJetTemplate(
        database, [&runner, &fonts](const std::filesystem::path& in,
                                    const std::filesystem::path& out, std::string& detail) {
            fonts.wait();
            EnsureQtChinese();
            return runner(in, out, detail);
        });
    return outcome.status != accessimport::JetImportStatus::Failed;
}

// Runs `action` once, right after the first paint of `window` has finished.
class AfterFirstPaint final : public QObject {
  public:
    AfterFirstPaint(QWidget& window, std::function<void()> action)
        : QObject(&window), action_(std::move(action)) {
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && action_) {
            QTimer::singleShot(0, this, std::exchange(action_, {}));
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> action_;
};

void CountPrinters() {
    const int printers = platform::CurrentPrompter().printerCount();
    PrinterCount = static_cast<std::int16_t>(std::clamp(printers, 0, 32767));
}

// The system's per-user folder for the program's data (it need not exist yet).
fs::path UserDataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? fs::path() : FromQString(folder);
}

// What the command line asks that needs no window: its refusal, the help or
// the version, or the package check. The exit code when it asked one of them.
std::optional<int> RunWithoutWindow(int argc, char** argv, const CommandLine& options,
                                    const ProgramParts& parts) {
    if (!options.refused.empty()) {
        std::fputs(RefusedText(options.refused).c_str(), stderr);
        return kUsageError;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? HelpText() : VersionText()).c_str(), stdout);
        return 0;
    }
    if (options.checkPackage) {
        // No window: the content checks need no display.
        QCoreApplication app(argc, argv);
        return parts.checkPackage ? parts.checkPackage(options.packageFolder, options.repair) : 2;
    }
    return std::nullopt;
}

// Start-up (Main) in the data folder, the template database prepared with the
// program's fonts.
bool StartUp(const fs::path& folder, FontSetUp& fonts) {
    StartupHooks hooks;
    hooks.prepareDatabase = [&fonts](const fs::path& database) {
        return PrepareDatabase(database, fonts);
    };
    // Asking the print system takes longer than the rest of the start-up: the
    // printers are counted as soon as the main window has been painted, before
    // the user can do anything that prints.
    hooks.countPrinters = [] { return 0; };
    return Main(folder, hooks);
}

} // namespace

int RunProgram(int argc, char** argv, const ProgramParts& parts,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown) {
    const CommandLine options = ParseCommandLine(argc, argv);
    if (const std::optional<int> done = RunWithoutWindow(argc, argv, options, parts))
        return *done;
    // Font aliases must be known before Qt reads the font configuration.
    const auto fonts = std::make_shared<FontSetUp>(
        util::ui::FindFontAliasFile(platform::ExecutableFolder(argc > 0 ? argv[0] : nullptr)));

    twip::ui::GuardedApplication app(argc, argv);
    const FontSetUpDone fontsDone(*fonts);
    QCoreApplication::setApplicationName(QStringLiteral("quillor"));
    app.setQuitOnLastWindowClosed(false);
    // Qt's Chinese texts wait for the first dialog or the first paint (below).
    InstallPrompter(options.check, fonts);
    const fs::path programFolder = FromQString(QCoreApplication::applicationDirPath());
    const DataFolderChoice data = ChooseDataFolder(programFolder, UserDataFolder());
    ClaimResult claim = ClaimResult::Failed;
    const auto lock = ClaimDataFolder(data, &claim);
    if (!lock) // told the user: another instance works there, or no data folder
        return claim == ClaimResult::TakenByAnotherInstance && !options.check ? 0 : 1;
    if (options.check)
        std::cout << "数据文件夹: " << platform::PathToUtf8(data.folder) << std::endl;
    if (parts.dataFolderClaimed)
        parts.dataFolderClaimed(platform::PathToUtf8(data.folder));
    if (!StartUp(data.folder, *fonts))
        return 1;

    fonts->wait();
    FrmMain window(parts.openMaterials);
    QObject::connect(&window, &FrmMain::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    new AfterFirstPaint(window, [] {
        EnsureQtChinese();
        CountPrinters();
    });
    if (options.check) {
        new AfterFirstPaint(window, [] { QCoreApplication::exit(0); });
        QTimer::singleShot(kCheckTimeoutMs, &app, [] { QCoreApplication::exit(1); });
    }
    window.show();
    if (mainWindowShown)
        mainWindowShown(window);
    return app.exec();
}

} // namespace startup::ui
