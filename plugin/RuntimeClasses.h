#pragma once

#include "hostlink/PluginAbi.h"

namespace corvanetov {

// The runtime-class records of the module's views: the ones it offers, in
// the order the host numbers them, and the class registry filled at load,
// in which every view class the module builds is found by its name, the
// ones it does not offer included.
class RuntimeClasses {
public:
    static int Count();
    // Null for an index outside the offered views.
    static const RuntimeClass* At(int index);

    // Fills the registry (at load) and empties it (at unload).
    static void Register();
    static void Unregister();
    // Null for a name the registry does not hold.
    static const RuntimeClass* FromName(const char* className);
    // In the order of registration; null past the last.
    static const RuntimeClass* Registered(int index);
};

} // namespace corvanetov
