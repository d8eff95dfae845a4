#include "plugin/ModuleLifecycle.h"

namespace corvanetov {

namespace {

// The module's load and unload: constructed when the loader maps the library
// (dlopen, or program start for a linked host) and destroyed when it is
// unmapped (dlclose, or program exit).
const ModuleLifecycle g_module;

} // namespace

} // namespace corvanetov
