#include "platform/program_module.h"

#include "platform/dynamic_library.h"
#include "platform/executable.h"
#include "platform/utf8.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {
namespace {

#ifdef _WIN32
constexpr const char* kModuleSuffix = ".dll";
#else
constexpr const char* kModuleSuffix = ".so";
#endif

// Opened modules by name, and the folder a test program named. Never
// destroyed: a module is not closed while the program runs, and threads
// that are still running at exit may still be inside one.
struct Modules {
    std::mutex guard;
    std::filesystem::path folder;
    std::map<std::string, std::unique_ptr<DynamicLibrary>> opened;
};

Modules& TheModules() {
    static Modules* const modules = new Modules;
    return *modules;
}

// Beside the program (or the folder a test program named), and the library
// folder of an installed program (<prefix>/lib/quillor for <prefix>/bin).
std::unique_ptr<DynamicLibrary> OpenModule(const std::string& name,
                                           const std::filesystem::path& folder) {
    const std::filesystem::path here = ExecutableFolder();
    std::vector<std::string> files;
    for (const std::filesystem::path& place :
         {folder.empty() ? here : folder, here.parent_path() / "lib" / "quillor"})
        files.push_back(platform::PathToUtf8(place / (name + kModuleSuffix)));
    auto module = std::make_unique<DynamicLibrary>(files);
    if (!module->loaded())
        std::fprintf(stderr, "quillor: the module %s cannot be opened: %s\n", name.c_str(),
                     module->error().c_str());
    return module;
}

} // namespace

void SetModuleFolder(const std::filesystem::path& folder) {
    Modules& modules = TheModules();
    const std::lock_guard lock(modules.guard);
    modules.folder = folder;
}

void* ModuleSymbol(const std::string& name, const char* symbol) {
    Modules& modules = TheModules();
    const std::lock_guard lock(modules.guard);
    std::unique_ptr<DynamicLibrary>& module = modules.opened[name];
    if (!module)
        module = OpenModule(name, modules.folder);
    void* address = module->symbol(symbol);
    if (!address && module->loaded())
        std::fprintf(stderr, "quillor: the module %s has no %s\n", name.c_str(), symbol);
    return address;
}

} // namespace platform
