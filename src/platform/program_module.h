#pragma once
// The program's modules: shared libraries that carry what only a few actions
// need (reading PDFs, writing PDFs, discs) together with the libraries those
// pull in. A module is opened the first time one of its functions is asked
// for, not at every start, which would cost each start the loading and
// linking of all those libraries. Module NAME is the file NAME.so (NAME.dll
// on Windows) beside the program or in <prefix>/lib/quillor of an installed
// program, and nowhere else: a program unpacked into a shared folder must not
// load a library someone planted in the folder above it. A module, once
// opened, stays loaded until the process ends (threads may still run in it).
//
// Modules are built with hidden symbols: only their entry points, marked
// QUILLOR_MODULE_EXPORT, are exported.

#include <filesystem>
#include <string>

// Marks a module's entry points (extern "C", looked up by name).
#ifdef _WIN32
#define QUILLOR_MODULE_EXPORT __declspec(dllexport)
#else
#define QUILLOR_MODULE_EXPORT __attribute__((visibility("default")))
#endif

namespace platform {

// The address of `symbol` in module `name`, which is opened on first use and
// stays open. Null when the module cannot be opened or lacks the symbol; the
// reason, with the places looked in, goes to stderr once per module.
void* ModuleSymbol(const std::string& name, const char* symbol);

// A test program, which sits one folder below the program's modules, names
// their folder from its own main before it asks for a module; it then takes
// the place of the folder beside the program. Deliberately no environment
// variable: whoever could set one could have the program load any library.
void SetModuleFolder(const std::filesystem::path& folder);

template <class Function> Function ModuleFunction(const std::string& name, const char* symbol) {
    return reinterpret_cast<Function>(ModuleSymbol(name, symbol));
}

} // namespace platform
