#include "platform/child_process.h"

#include <cstdlib>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#define QUILLOR_HAS_RLIMIT 1
#endif

// gcc announces the address and thread sanitizers with macros, clang through
// __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLOR_SHADOW_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUILLOR_SHADOW_SANITIZER 1
#endif
#endif

namespace platform {

bool ApplyMemoryLimit(std::size_t megabytes) {
#if defined(QUILLOR_HAS_RLIMIT)
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
#if defined(QUILLOR_SHADOW_SANITIZER)
    // The sanitizers reserve terabytes of address space up front.
    (void)megabytes;
    return true;
#else
    const rlim_t bytes = static_cast<rlim_t>(megabytes) * 1024 * 1024;
    const rlimit limit{bytes, bytes};
    return setrlimit(RLIMIT_AS, &limit) == 0;
#endif
#else
    (void)megabytes;
    return true;
#endif
}

void SetProcessEnvironment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void ClearProcessEnvironment(const std::string& name) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

} // namespace platform
