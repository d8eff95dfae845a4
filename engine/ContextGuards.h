#pragma once

#include "engine/OperationContext.h"

namespace corvanetov {

// Installs a front end's part of the operation context (its NV document,
// its report target or its prompts) for as long as the guard lives, and
// removes it when the guard goes, whatever way the scope is left, unless
// another part has taken its place meanwhile.
template <class Part, Part* (OperationContext::*Installed)() const, void (OperationContext::*Install)(Part*)>
class ScopedContextPart {
public:
    explicit ScopedContextPart(Part* part) : m_part(part) { (Context().*Install)(part); }
    ~ScopedContextPart()
    {
        if ((Context().*Installed)() == m_part)
            (Context().*Install)(nullptr);
    }
    ScopedContextPart(const ScopedContextPart&) = delete;
    ScopedContextPart& operator=(const ScopedContextPart&) = delete;

private:
    Part* m_part;
};

using ScopedNvDocument = ScopedContextPart<NvDoc, &OperationContext::NvDocument, &OperationContext::SetNvDocument>;
using ScopedTarget = ScopedContextPart<OperationSink, &OperationContext::Target, &OperationContext::SetTarget>;
using ScopedPrompts = ScopedContextPart<Prompts, &OperationContext::GetPrompts, &OperationContext::SetPrompts>;

} // namespace corvanetov
