#pragma once
// The program's modules: shared libraries that carry what only a few actions
// need (reading PDFs, writing PDFs, discs) together with the libraries those
// pull in. A module is opened the first time one of its functions is asked
// for, not at every start, which would cost each start the loading and
// linking of all those libraries. Module NAME is the file NAME.so (NAME.dll
// on Windows) beside the program, one folder up (the tests' programs), or in
// <prefix>/lib/quillor of an installed program.

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

template <class Function> Function ModuleFunction(const std::string& name, const char* symbol) {
    return reinterpret_cast<Function>(ModuleSymbol(name, symbol));
}

} // namespace platform
