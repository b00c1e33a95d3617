#pragma once

#include <any>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace wv {

// The classes linked into the process that code may look up by name at run time. A class
// joins by an explicit registerClass call made while the program starts (a static initialiser
// in a static library is dropped by the linker when nothing else refers to its object file).
// The class object is stored as given; the one who looks it up knows its type. Safe from any
// thread.
class ClassRegistry {
  public:
    static ClassRegistry& shared();

    // A later registration under the same name replaces the earlier one.
    void registerClass(std::string name, std::any classObject);
    void unregisterClass(std::string_view name);
    bool isLinked(std::string_view name) const;
    // The class object, or an empty any when no class of that name is linked.
    std::any classNamed(std::string_view name) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::any, std::less<>> classes_;
};

// Links a class for the lifetime of the object (tests), putting back what was there before.
class ScopedClassRegistration {
  public:
    ScopedClassRegistration(std::string name, std::any classObject);
    ~ScopedClassRegistration();
    ScopedClassRegistration(const ScopedClassRegistration&) = delete;
    ScopedClassRegistration& operator=(const ScopedClassRegistration&) = delete;

  private:
    std::string name_;
    std::any previous_;
};

}  // namespace wv
