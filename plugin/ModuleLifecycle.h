#pragma once

#include <memory>

#include "engine/ContextGuards.h"
#include "forms/ModulePrompts.h"
#include "nv/NvDoc.h"

namespace corvanetov {

// What loading the module does and unloading undoes, as the life of one
// object: the trace lines, the module's resources, the NV document and the
// prompts the engine asks through, the port table through which COM numbers
// open, and the host's callback.
class ModuleLifecycle {
public:
    ModuleLifecycle();
    ~ModuleLifecycle();
    ModuleLifecycle(const ModuleLifecycle&) = delete;
    ModuleLifecycle& operator=(const ModuleLifecycle&) = delete;

private:
    // Without memory for it the module still loads; everything that needs
    // the document finds the pointer null.
    std::unique_ptr<NvDoc> m_document;
    ScopedNvDocument m_documentInstalled;
    ModulePrompts m_prompts;
    ScopedPrompts m_promptsInstalled;
};

} // namespace corvanetov
