#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace wv {

// A kit's shared instance in the older form: a kit of that form is accepted only when all
// three operations are there (an empty function is one the instance does not respond to).
struct TRNLegacyKitInstance {
    std::function<void()> start;
    std::function<std::string()> bundleIdentifier;
    std::function<std::string()> version;
};

// A kit class: its name and class operations. A class that declares the kit interface has
// `bundleIdentifier` and `kitDisplayVersion`, and may have `kitBuildVersion` and
// `initializeIfNeeded` (which starts the kit). A class that does not is a kit of the older
// form when it has `sharedInstance`. An empty function is an operation the class lacks.
// Kit classes live as long as the process (they are static objects of the kits).
struct TRNKitClass {
    std::string name;
    bool declaresTRNKit = false;
    std::function<std::string()> bundleIdentifier;
    std::function<std::string()> kitDisplayVersion;
    std::function<std::string()> kitBuildVersion;
    std::function<void()> initializeIfNeeded;
    std::function<std::shared_ptr<TRNLegacyKitInstance>()> sharedInstance;
    // Class operations of the kit's own that a sibling kit calls, of a type the two kits
    // agree on (TRNPlurioOperations for the analytics kit); empty for a kit that has none.
    std::any operations;
};

// An instance of a class, standing for that class in a kit list.
struct TRNKitInstance {
    const TRNKitClass* kitClass = nullptr;
};

// One element of the list given to Tarnel's `with:`: a class or an instance of one.
using TRNKitArgument = std::variant<const TRNKitClass*, TRNKitInstance>;

// Makes the class findable by name (ClassRegistry): kits call this once while the program
// starts, before the SDK is started.
void TRNRegisterKitClass(const TRNKitClass& kitClass);
// The linked kit class of that name, or null (also for a linked class that is no kit class).
const TRNKitClass* TRNKitClassNamed(std::string_view name);
bool TRNClassIsLinked(std::string_view name);

// A kit that does nothing but stand in the kit-version map when the Halvard Mobile Ads
// library is present.
const TRNKitClass& AdReachKit();

}  // namespace wv
