#include "plugin/ModuleLifecycle.h"

#include <QtGlobal>
#include <new>

#include "comm/PortResolver.h"
#include "forms/ViewRecord.h"
#include "hostlink/HostNotifier.h"
#include "platform/Trace.h"
#include "plugin/ModuleConstants.h"
#include "plugin/RuntimeClasses.h"
#include "ports/PortTable.h"

// The artwork and the toolbar strip sit in static libraries, whose resources
// are only found once registered by hand. Registering cannot fail: the data
// is compiled in. (The resource macros must stand outside any namespace.)
static void RegisterResources()
{
    Q_INIT_RESOURCE(CorvanetovArtwork);
    Q_INIT_RESOURCE(ModuleResources);
}

static void UnregisterResources()
{
    Q_CLEANUP_RESOURCE(ModuleResources);
    Q_CLEANUP_RESOURCE(CorvanetovArtwork);
}

namespace corvanetov {

ModuleLifecycle::ModuleLifecycle()
    : m_document(new (std::nothrow) NvDoc)
    , m_documentInstalled(m_document.get())
    , m_promptsInstalled(&m_prompts)
{
    TRACE("%s", ModuleConstants::kInitializingTrace);
    RegisterResources();
    RuntimeClasses::Register();
    // COM numbers open the devices of the user's port table.
    PortTable::Instance().InstallResolver();
}

ModuleLifecycle::~ModuleLifecycle()
{
    TRACE("%s", ModuleConstants::kTerminatingTrace);
    // A record still being kept runs the module's code on the keeping
    // thread: the host ends right after a stop, and unloads the module.
    ViewRecord::AwaitKept();
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    PortResolver::Instance().Set(nullptr);
    RuntimeClasses::Unregister();
    UnregisterResources();
}

} // namespace corvanetov
