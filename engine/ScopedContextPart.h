#pragma once

class NvDoc;
class OperationSink;
class Prompts;

// Installs a front end's part of the operation context (its NV document,
// its report target or its prompts) for as long as the guard lives, and
// removes it when the guard goes, whatever way the scope is left, unless
// another part has taken its place meanwhile.
template <class Part>
class ScopedContextPart {
public:
    explicit ScopedContextPart(Part* part) : m_part(part) { Install(part); }
    ~ScopedContextPart()
    {
        if (Installed() == m_part)
            Install(nullptr);
    }
    ScopedContextPart(const ScopedContextPart&) = delete;
    ScopedContextPart& operator=(const ScopedContextPart&) = delete;

private:
    static Part* Installed();
    static void Install(Part* part);

    Part* m_part;
};

using ScopedNvDocument = ScopedContextPart<NvDoc>;
using ScopedTarget = ScopedContextPart<OperationSink>;
using ScopedPrompts = ScopedContextPart<Prompts>;

template <>
NvDoc* ScopedNvDocument::Installed();
template <>
void ScopedNvDocument::Install(NvDoc* doc);
template <>
OperationSink* ScopedTarget::Installed();
template <>
void ScopedTarget::Install(OperationSink* sink);
template <>
Prompts* ScopedPrompts::Installed();
template <>
void ScopedPrompts::Install(Prompts* prompts);
