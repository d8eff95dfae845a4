#include "plugin/ModuleLifecycle.h"

#include <QtGlobal>
#include <new>

#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "forms/ModulePrompts.h"
#include "hostlink/HostNotifier.h"
#include "nv/NvDoc.h"
#include "platform/Trace.h"
#include "plugin/ModuleConstants.h"
#include "ports/PortTable.h"

namespace {

ModulePrompts& Prompter()
{
    static ModulePrompts prompts;
    return prompts;
}

} // namespace

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

void ModuleLifecycle::Attach()
{
    TRACE("%s", ModuleConstants::kInitializingTrace);
    RegisterResources();
    OperationContext& context = OperationContext::Instance();
    // Without memory for it the module still loads; everything that needs
    // the document finds the pointer null.
    context.SetNvDocument(new (std::nothrow) NvDoc);
    context.SetPrompts(&Prompter());
    // COM numbers open the devices of the user's port table.
    PortTable::Instance().InstallResolver();
}

void ModuleLifecycle::Detach()
{
    TRACE("%s", ModuleConstants::kTerminatingTrace);
    OperationContext& context = OperationContext::Instance();
    delete context.NvDocument();
    context.SetNvDocument(nullptr);
    if (context.GetPrompts() == &Prompter())
        context.SetPrompts(nullptr);
    HostNotifier::Instance().SetCallback(nullptr, nullptr);
    PortResolver::Instance().Set(nullptr);
    UnregisterResources();
}
