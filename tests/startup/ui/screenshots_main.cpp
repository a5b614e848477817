// Renders every window of the program offscreen into PNG files, so that a
// reviewer can look at each window without running the program.
//
//   quillor-screenshots [output folder] [program folder with 系统模板.mdb]
//
// Defaults: screenshots/ and demo/ beside this program.

#include "app/ui/program.h"
#include "dialogs/ui/frmnote.h"
#include "dialogs/ui/selpath.h"
#include "disc/ui/FrmDisc.h"
#include "fieldforms/ui/XZJBTab.h"
#include "materials/manifest.h"
#include "materials/ui/FrmFjgl.h"
#include "platform/program_module.h"
#include "printing/ui/Fj_List.h"
#include "printing/ui/XZSPTab.h"
#include "startup/mainbas.h"
#include "startup/ui/frmmain.h"
#include "twip/ui/qt_printer.h"
#include "util/template_docs.h"
#include "util/ui/fonts.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

namespace {

// An offscreen screen large enough for every window, so that none is shown
// scrolled as it would be on a small screen. The description file goes with it.
class LargeOffscreenScreen {
  public:
    LargeOffscreenScreen()
        : file_(std::filesystem::temp_directory_path() /
                ("quillor-screenshots-" + std::to_string(QCoreApplication::applicationPid()) +
                 ".json")) {
        std::ofstream(file_) << R"({"screens": [{"name": "screen", "x": 0, "y": 0, )"
                             << R"("width": 1920, "height": 1200, "logicalDpi": 96}]})";
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QByteArray(file_.string().c_str()));
    }
    ~LargeOffscreenScreen() {
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
    }
    LargeOffscreenScreen(const LargeOffscreenScreen&) = delete;
    LargeOffscreenScreen& operator=(const LargeOffscreenScreen&) = delete;

  private:
    std::filesystem::path file_;
};

bool Save(const QPixmap& picture, const QDir& folder, const QString& name) {
    const QString file = folder.filePath(name + ".png");
    const bool saved = picture.save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

// The main window with its sub-item menu open over the button that has one.
QPixmap MainWindowWithMenu(startup::ui::FrmMain& window) {
    QPixmap menuPicture;
    int button = -1;
    for (int i = 0; i < startup::ui::kItemButtons && button < 0; ++i)
        if (window.control("Command1", i).visible() && window.control("Command1", i).tag() != "0")
            button = i;
    if (button < 0)
        return {};
    window.setMenuPopup([&](QMenu& menu, const QPoint&) -> QAction* {
        menu.adjustSize();
        menuPicture = menu.grab();
        return nullptr;
    });
    window.Command1_Click(button);
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    const QWidget* source = window.control("Command1", button).widget();
    painter.drawPixmap(source->mapTo(&window, QPoint(source->width() / 2, source->height())),
                       menuPicture);
    return picture;
}

// A working copy of the selected item with every entry linked and, in
// 其他材料, enough further entries for a second page of the materials list.
bool LinkEveryEntry(const std::string& path, int wanted) {
    if (!util::ExtractXmlTemplate(path))
        return false;
    const auto materials = materials::ReadFjlb(path);
    if (!materials)
        return false;
    int linked = 0;
    for (const materials::MaterialRow& material : *materials) {
        auto entries = materials::ReadWjlb(material.key, path, "");
        if (material.name == materials::kOtherMaterialsName)
            for (int n = static_cast<int>(entries ? entries->size() : 0) + 1; linked + n <= wanted;
                 ++n)
                materials::addWjlb(material.key, n, "其他新增材料" + std::to_string(n),
                                   "补充说明材料" + std::to_string(n), path);
        entries = materials::ReadWjlb(material.key, path, "");
        for (const materials::FileRow& entry :
             entries.value_or(std::vector<materials::FileRow>())) {
            materials::saveWjlbUrl(material.key, entry.number,
                                   "D:\\申报材料\\" + entry.title + ".pdf", path);
            ++linked;
        }
        materials::readAndsaveFilecount(material.key, path);
    }
    return true;
}

// The materials list window, its second page, and its printout as PDF and PNG pages.
bool MaterialsList(const QDir& out) {
    QTemporaryDir work;
    SelectedItem = 0;
    SubItemName.clear();
    WorkManifestPath = QDir(work.path()).filePath("TempXml.XML").toStdString();
    if (!LinkEveryEntry(WorkManifestPath, 32))
        return false;
    printing::ui::Fj_List list;
    list.Form_Load();
    list.show();
    bool ok = Save(list.grab(), out, "Fj_List");
    list.PageBut_Click(1);
    ok &= Save(list.grab(), out, "Fj_List_page2");
    list.PageBut_Click(0);
    const QString pdf = out.filePath("Fj_List_print.pdf");
    list.usePrinter(std::make_unique<twip::ui::QtPrinter>(pdf));
    const std::int16_t printers = PrinterCount;
    PrinterCount = 1; // a PDF file is always there to print on
    list.Command1_Click(0);
    PrinterCount = printers;
    const int rendered =
        QProcess::execute("pdftoppm", {"-png", "-r", "100", pdf, out.filePath("Fj_List_print")});
    std::printf("%s %s\n", rendered == 0 ? "wrote" : "FAILED", qPrintable(pdf));
    return ok && rendered == 0;
}

// The application form with a unit's entries typed in (not saved), beside
// the page it prints, as PDF and PNG.
bool ApplicationForm(const QDir& out) {
    SelectedItem = 0;
    SubItemName.clear();
    printing::ui::XZSPTab form;
    form.Form_Load();
    form.Option1(0).setChecked(true);
    const char* const unit[] = {"四川省地质工程勘察院",
                                "张三",
                                "成都市武侯区一环路南一段24号",
                                "028-85551234",
                                "610041",
                                "dzkc@example.cn",
                                "李明",
                                "510107198003150018",
                                "成都市青羊区光华村街1号",
                                "13800000000",
                                "610072",
                                "liming@example.cn"};
    for (int i = 0; i < 12; ++i)
        form.Text2(i).setText(QString::fromUtf8(unit[i]));
    form.Combo1().setListIndex(1);
    form.Check1(0).setChecked(true);
    form.Check1(3).setChecked(true);
    form.show();
    bool ok = Save(form.grab(), out, "XZSPTab");
    const QString pdf = out.filePath("XZSPTab_print.pdf");
    {
        twip::ui::QtPrinter printer(pdf);
        form.usePrinter(&printer);
        const std::int16_t printers = PrinterCount;
        PrinterCount = 1; // a PDF file is always there to print on
        form.Command1_Click(1);
        PrinterCount = printers;
        form.usePrinter(nullptr);
    }
    const int rendered = QProcess::execute(
        "pdftoppm", {"-png", "-r", "100", "-singlefile", pdf, out.filePath("XZSPTab_print")});
    std::printf("%s %s\n", rendered == 0 ? "wrote" : "FAILED", qPrintable(pdf));
    return ok && rendered == 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path here = util::ui::ExecutableFolder(argv[0]);
    // This program lies one folder below the program's modules.
    platform::SetModuleFolder(here.parent_path());
    util::ui::LoadFontAliases(util::ui::FindFontAliasFile(here));
    const LargeOffscreenScreen screen;
    QApplication app(argc, argv);

    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1])
                            : QString::fromStdString((here / "screenshots").string()));
    const std::filesystem::path programFolder =
        argc > 2 ? std::filesystem::path(argv[2]) : here / "demo";
    QDir().mkpath(out.path());
    if (!Main(programFolder)) {
        std::fprintf(stderr, "start-up failed on %s\n", programFolder.string().c_str());
        return 1;
    }

    bool ok = true;
    {
        startup::ui::FrmMain window([](QWidget*) {});
        window.show();
        ok &= Save(window.grab(), out, "FrmMain");
        ok &= Save(MainWindowWithMenu(window), out, "FrmMain_sub_menu");
    }
    {
        dialogs::ui::FrmNote note;
        note.show();
        ok &= Save(note.grab(), out, "FrmNote");
    }
    {
        SelectedItem = 0;
        SubItemName.clear();
        ReloadPending = -1;
        materials::ui::FrmFjgl materials(app::ui::MaterialsWindowParts());
        materials.Form_Load();
        materials.show();
        ok &= Save(materials.grab(), out, "FrmFjgl");
        // The demo has no saved package: the check window shows why.
        disc::ui::FrmDisc disc(ShownFolder, ItemTable[0].申请事项简称, disc::OpenDiscSystem());
        disc.Form_Load();
        disc.show();
        ok &= Save(disc.grab(), out, "FrmDisc");
    }
    {
        PickedFolder = programFolder.string();
        dialogs::ui::SELPATH picker;
        picker.show();
        ok &= Save(picker.grab(), out, "SELPATH");
    }
    ok &= MaterialsList(out);
    // The project-basic-information form of every item and sub-item: the
    // window as it opens, and the whole drawing area when it scrolls.
    for (std::size_t i = 0; i < ItemTable.size(); ++i) {
        SelectedItem = static_cast<std::int16_t>(i);
        const ApplicationItem& item = ItemTable[i];
        SubItemName = item.子项序号 != 0 ? item.子项名称 : std::string();
        fieldforms::ui::XZJBTab form;
        form.Form_Load();
        form.show();
        const QString name = QStringLiteral("XZJBTab_%1").arg(item.序号, 2, 10, QLatin1Char('0'));
        ok &= Save(form.grab(), out, name);
        if (form.scrollArea())
            ok &= Save(form.Pic2().widget()->grab(), out, name + QStringLiteral("_whole"));
    }
    ok &= ApplicationForm(out);
    return ok ? 0 : 1;
}
