#pragma once
// The process's environment, for settings that libraries read when they are
// loaded (such as OpenMP's thread limit before a module that uses it opens).

#include <string>

namespace platform {

// Sets `name` to `value` unless it is set already (the user's choice wins).
void SetEnvironmentDefault(const std::string& name, const std::string& value);

} // namespace platform
