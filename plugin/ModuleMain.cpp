#include "plugin/ModuleLifecycle.h"

namespace {

// The module's load and unload: constructed when the loader maps the library
// (dlopen, or program start for a linked host) and destroyed when it is
// unmapped (dlclose, or program exit).
struct ModuleAttachment {
    ModuleAttachment() { ModuleLifecycle::Attach(); }
    ~ModuleAttachment() { ModuleLifecycle::Detach(); }
    ModuleAttachment(const ModuleAttachment&) = delete;
    ModuleAttachment& operator=(const ModuleAttachment&) = delete;
} g_attachment;

} // namespace
