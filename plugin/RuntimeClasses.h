#pragma once

#include "hostlink/PluginAbi.h"

// The runtime-class records of the views the module offers, in the order
// the host numbers them.
class RuntimeClasses {
public:
    static int Count();
    // Null for an index outside the offered views.
    static const RuntimeClass* At(int index);
};
