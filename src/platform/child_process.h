#pragma once
// Process set-up of the importer child: its own resource limits and the
// environment variables that steer libmdb's character conversion.

#include <cstddef>
#include <string>

namespace platform {

// Caps the address space of this process, so that a damaged file cannot make
// libmdb allocate without bound; also turns off core dumps. Returns false when
// the system refused. On systems without such limits this does nothing and
// returns true (the parent confines the child there, e.g. with a job object).
bool ApplyMemoryLimit(std::size_t megabytes);

void SetProcessEnvironment(const std::string& name, const std::string& value);
void ClearProcessEnvironment(const std::string& name);

} // namespace platform
