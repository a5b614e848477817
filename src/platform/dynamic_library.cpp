#include "platform/dynamic_library.h"

#include "platform/utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

DynamicLibrary::DynamicLibrary(std::initializer_list<const char*> names)
    : DynamicLibrary(std::vector<std::string>(names.begin(), names.end())) {}

DynamicLibrary::DynamicLibrary(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
#ifdef _WIN32
        const std::wstring wide = platform::PathFromUtf8(name).wstring();
        handle_ = reinterpret_cast<void*>(LoadLibraryW(wide.c_str()));
        if (handle_)
            return;
        error_ += (error_.empty() ? "" : "; ") + name + ": not found";
#else
        handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_)
            return;
        const char* why = dlerror();
        error_ += (error_.empty() ? "" : "; ") + (why ? std::string(why) : name);
#endif
    }
}

DynamicLibrary::~DynamicLibrary() {
    if (!handle_)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#elif defined(__SANITIZE_ADDRESS__)
        // The sanitizer build keeps libraries loaded until the process ends: its
        // leak check runs after them and must see their globals and names (an
        // unloaded library's memory would be reported as leaked by an unknown
        // module, and no suppression could name it).
#else
    dlclose(handle_);
#endif
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!handle_)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

} // namespace platform
