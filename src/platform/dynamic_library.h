#pragma once
// A shared library opened while the program runs, for libraries that only a
// few actions need: loading them at every start would cost each start their
// loading and linking. Closed with the object.

#include <initializer_list>
#include <string>
#include <vector>

namespace platform {

class DynamicLibrary {
  public:
    // Opens the first of `names` (file names the system's loader searches
    // for) that loads.
    explicit DynamicLibrary(std::initializer_list<const char*> names);
    // The same with names (or full paths, UTF-8) made at run time.
    explicit DynamicLibrary(const std::vector<std::string>& names);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why no name loaded ("" when one did).
    const std::string& error() const { return error_; }
    // The address of an exported symbol; null when missing or not loaded.
    void* symbol(const char* name) const;

  private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace platform
