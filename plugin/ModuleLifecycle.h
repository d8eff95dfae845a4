#pragma once

// What loading and unloading the module does: the trace lines, the module's
// resources, the NV document and the prompts the engine asks through.
class ModuleLifecycle {
public:
    static void Attach();
    static void Detach();
};
