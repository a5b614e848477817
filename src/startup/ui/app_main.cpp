#include "startup/ui/app_main.h"

#include "dialogs/ui/selpath.h"
#include "platform/instance_lock.h"
#include "platform/jet_import.h"
#include "platform/ui/error_barrier.h"
#include "platform/ui/jet_runner.h"
#include "platform/ui/qt_prompter.h"
#include "platform/ui/qt_translation.h"
#include "startup/mainbas.h"
#include "startup/ui/frmmain.h"
#include "util/ui/fonts.h"
#include "util/utf8.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace startup {

namespace {

void InstallPrompter() {
    auto prompter = std::make_shared<platform::ui::QtPrompter>();
    prompter->setDefaultTitle(ProductTitle());
    prompter->setFolderPicker([](const std::string&, const std::string& initialDir) {
        return dialogs::RunFolderPicker(QApplication::activeWindow(), initialDir);
    });
    platform::SetPrompter(prompter);
}

// An Access/Jet template database is converted once into the program's own store.
bool PrepareDatabase(const std::filesystem::path& database) {
    const platform::JetImportOutcome outcome =
        platform::ConvertJetTemplate(database, platform::ui::MakeChildImportRunner());
    return outcome.status != platform::JetImportStatus::Failed;
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

} // namespace

int RunProgram(int argc, char** argv,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown) {
    const std::filesystem::path programFolder =
        util::ui::ExecutableFolder(argc > 0 ? argv[0] : nullptr);
    // Font aliases must be known before Qt reads the font configuration.
    util::ui::LoadFontAliases(util::ui::FindFontAliasFile(programFolder));

    platform::ui::GuardedApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    platform::ui::LoadQtChinese(app, QString::fromStdString(util::PathToUtf8(programFolder)));
    InstallPrompter();
    const auto lock = platform::ClaimProgramFolder(programFolder);
    if (!lock)
        return 0; // another instance works in this folder; the user has been told
    StartupHooks hooks;
    hooks.prepareDatabase = PrepareDatabase;
    // Asking the print system takes longer than the rest of the start-up: the
    // printers are counted as soon as the main window has been painted, before
    // the user can do anything that prints.
    hooks.countPrinters = [] { return 0; };
    if (!Main(programFolder, hooks))
        return 1;

    FrmMain window;
    QObject::connect(&window, &FrmMain::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    new AfterFirstPaint(window, CountPrinters);
    window.show();
    if (mainWindowShown)
        mainWindowShown(window);
    return app.exec();
}

} // namespace startup
