#include "platform/dynamic_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

DynamicLibrary::DynamicLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
#ifdef _WIN32
        handle_ = reinterpret_cast<void*>(LoadLibraryA(name));
        if (handle_)
            return;
        error_ += std::string(error_.empty() ? "" : "; ") + name + ": not found";
#else
        handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle_)
            return;
        const char* why = dlerror();
        error_ += std::string(error_.empty() ? "" : "; ") + (why ? why : name);
#endif
    }
}

DynamicLibrary::~DynamicLibrary() {
    if (!handle_)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
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
