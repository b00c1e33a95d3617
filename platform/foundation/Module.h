#pragma once

#include <optional>
#include <string>

namespace wv {

// A shared object of the program's own (wovanu-net.so, wovanu-postgres.so), opened at run time
// so that the libraries it needs are loaded only by the runs that use it. It is looked for
// beside the running executable, then in the build tree, where tests and helper programs that
// live in other folders find it.
//
// What a module logs goes to the program's log (see module/ModuleEntry.cpp).
// A module is never closed: threads it started and objects it made may run its code until
// the process ends.
class Module {
  public:
    // Nothing when no such file opens; `error` then says which call failed and why.
    static std::optional<Module> open(const std::string& fileName, std::string& error);

    // The address of `name`, or nullptr with `error` saying so.
    void* symbol(const char* name, std::string& error) const;
    template <class Function>
    Function* function(const char* name, std::string& error) const {
        return reinterpret_cast<Function*>(symbol(name, error));
    }

    const std::string& path() const { return path_; }

  private:
    Module(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

}  // namespace wv
