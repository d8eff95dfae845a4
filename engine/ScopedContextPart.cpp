#include "engine/ScopedContextPart.h"

#include "engine/OperationContext.h"

namespace {
OperationContext& Context()
{
    return OperationContext::Instance();
}
} // namespace

template <>
NvDoc* ScopedNvDocument::Installed()
{
    return Context().NvDocument();
}

template <>
void ScopedNvDocument::Install(NvDoc* doc)
{
    Context().SetNvDocument(doc);
}

template <>
OperationSink* ScopedTarget::Installed()
{
    return Context().Target();
}

template <>
void ScopedTarget::Install(OperationSink* sink)
{
    Context().SetTarget(sink);
}

template <>
Prompts* ScopedPrompts::Installed()
{
    return Context().GetPrompts();
}

template <>
void ScopedPrompts::Install(Prompts* prompts)
{
    Context().SetPrompts(prompts);
}
