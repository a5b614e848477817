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

std::unique_ptr<DynamicLibrary> OpenModule(const std::string& name) {
    const std::filesystem::path here = ExecutableFolder();
    std::vector<std::string> files;
    for (const std::filesystem::path& folder :
         {here, here.parent_path(), here.parent_path() / "lib" / "quillor"})
        files.push_back(util::PathToUtf8(folder / (name + kModuleSuffix)));
    auto module = std::make_unique<DynamicLibrary>(files);
    if (!module->loaded())
        std::fprintf(stderr, "quillor: the module %s cannot be opened: %s\n", name.c_str(),
                     module->error().c_str());
    return module;
}

} // namespace

void* ModuleSymbol(const std::string& name, const char* symbol) {
    // Opened modules, by name: loaded once and kept for the program's life.
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<DynamicLibrary>> modules;
    const std::lock_guard lock(guard);
    std::unique_ptr<DynamicLibrary>& module = modules[name];
    if (!module)
        module = OpenModule(name);
    void* address = module->symbol(symbol);
    if (!address && module->loaded())
        std::fprintf(stderr, "quillor: the module %s has no %s\n", name.c_str(), symbol);
    return address;
}

} // namespace platform
