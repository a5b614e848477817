#include "platform/environment.h"

#include <cstdlib>

namespace platform {

void SetEnvironmentDefault(const std::string& name, const std::string& value) {
#ifdef _WIN32
    if (!std::getenv(name.c_str()))
        _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 0);
#endif
}

} // namespace platform
