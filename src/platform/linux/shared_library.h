#pragma once

#include <dlfcn.h>

#include <string>

namespace z900::platform {

// A system library opened when the program first needs it rather than at its start: loading it,
// and everything it links, is paid only by a run that uses it. It stays loaded until the
// process ends (some set up process-wide state that must not go away under them).
class SharedLibrary {
 public:
  explicit SharedLibrary(const char* soname) : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) failure_ = Problem(soname);
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // Why the library or the last function asked for cannot be had.
  const std::string& failure() const { return failure_; }

  // Sets `function` to the library's function `name`; false, with failure(), when it is missing.
  template <typename Function>
  bool Find(const char* name, Function& function) {
    if (handle_ == nullptr) return false;
    void* symbol = ::dlsym(handle_, name);
    if (symbol == nullptr) {
      failure_ = Problem(name);
      return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
  }

 private:
  static std::string Problem(const char* what) {
    const char* error = ::dlerror();
    return error != nullptr ? std::string(error) : std::string(what) + " cannot be loaded";
  }

  void* handle_;
  std::string failure_;
};

// The table of functions `Api` of the library `soname`, opened and filled at the first call and
// kept for the process: `Api::Find(library, api)` looks the functions up (and may set the library
// up). Null, with `why`, when the library, a function or its setting up is missing.
template <typename Api>
const Api* OpenOnce(const char* soname, std::string& why) {
  static SharedLibrary library(soname);
  static Api api;
  static const bool found = library.loaded() && Api::Find(library, api);
  if (found) return &api;
  why = std::string(soname) + " cannot be used: " +
        (library.failure().empty() ? std::string("it does not set up") : library.failure());
  return nullptr;
}

}  // namespace z900::platform
