#include "startup/command_line.h"

#include <string_view>

#ifndef QUILLOR_VERSION
#define QUILLOR_VERSION "0"
#endif

namespace startup {

namespace {

// Qt's own options (with one dash or two), and whether each takes a value.
struct QtOption {
    std::string_view name;
    bool value;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},
    {"qwindowicon", true},     {"icon", true},
    {"qwindowtitle", true},    {"title", true},
    {"display", true},         {"name", true},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"reverse", false},
    {"nograb", false},         {"dograb", false},
    {"visual", true},          {"widgetcount", false},
    {"qmljsdebugger", true},   {"dialogs", true},
    {"fontengine", true},      {"dpiawareness", true},
};

// The Qt option `arg` (without its dashes) and whether it takes the next argument.
bool IsQtOption(std::string_view arg, bool& takesNext) {
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    for (const QtOption& o : kQtOptions)
        if (o.name == name) {
            takesNext = o.value && equals == std::string_view::npos;
            return true;
        }
    return false;
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        bool takesNext = false;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--repair") {
            options.repair = true;
        } else if (arg == "--check-package") {
            options.checkPackage = true;
            if (i + 1 < argc && argv[i + 1] && std::string_view(argv[i + 1]) == "--repair") {
                options.repair = true;
                ++i;
            }
            if (i + 1 < argc && argv[i + 1])
                options.packageFolder = argv[++i];
        } else if (arg.starts_with("--check-package=")) {
            options.checkPackage = true;
            options.packageFolder = std::string(arg.substr(16));
        } else if (arg.starts_with("-") &&
                   IsQtOption(arg.substr(arg.starts_with("--") ? 2 : 1), takesNext)) {
            i += takesNext ? 1 : 0; // Qt's: left to Qt
        } else if (options.refused.empty()) {
            options.refused = std::string(arg);
        }
    }
    if (options.checkPackage && options.packageFolder.empty() && options.refused.empty())
        options.refused = "--check-package";
    if (options.repair && !options.checkPackage && options.refused.empty())
        options.refused = "--repair";
    return options;
}

std::string RefusedText(const std::string& argument) {
    return "quillor：无法识别的选项或参数：" + argument + "\n\n" + HelpText();
}

std::string VersionText() {
    return std::string("quillor ") + QUILLOR_VERSION + "\n";
}

std::string HelpText() {
    return "用法：quillor [选项]\n"
           "行政审批电子申报材料制作工具：选择申请事项，填写申请书和项目基本信息表，\n"
           "为每项申请材料选择扫描文件，保存材料文件夹并打印。\n"
           "\n"
           "选项:\n"
           "  -h, --help     显示本说明后退出\n"
           "  --version      显示版本后退出\n"
           "  --check        检查能否正常启动：不弹出对话框（提示写到标准错误输出），\n"
           "                 主窗口显示后即退出；能启动时退出码为 0\n"
           "  --check-package [--repair] 目录\n"
           "                 不打开窗口，检查目录中的申报资料能否刻录（审批机关也可用它\n"
           "                 检查收到的光盘），不写入任何文件；目录中有被中断的保存时\n"
           "                 报告为错误。加 --repair 时先修复被中断的保存（目录只读时\n"
           "                 不作修复）。同类问题只列出前几个并给出其余的数目；退出码\n"
           "                 0 可以刻录，1 不能刻录，2 目录中没有可读取的申报资料\n"
           "\n"
           "数据文件夹：程序所在文件夹可写时（解压即用），系统模板.mdb、TempXml.XML\n"
           "都在程序旁边；安装的程序或程序文件夹只读时,使用每个用户自己的数据文件夹\n"
           "（Linux：~/.local/share/quillor），首次启动时把随程序提供的系统模板.mdb\n"
           "复制到那里。放在数据文件夹中的 Access 格式模板库会在启动时自动转换。\n";
}

} // namespace startup
