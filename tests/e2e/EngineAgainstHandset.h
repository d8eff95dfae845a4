#pragma once

#include <string>
#include <vector>

#include "E2eFixture.h"
#include "RecordedPrompts.h"
#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "nv/NvDoc.h"
#include "platform/Pacing.h"

namespace corvanetov {

// The engine in this process, against the simulator.
class EngineAgainstHandset : public E2eFixture {
protected:
    NvDoc doc;
    RecordedPrompts prompts;

    void SetUp() override
    {
        E2eFixture::SetUp();
        Pacing::Instance().ClearStop();
        auto& context = OperationContext::Instance();
        context.SetNvDocument(&doc);
        context.SetPrompts(&prompts);
        context.SetSelectedPort(7);
        context.SetErrorText("");
    }
    void TearDown() override
    {
        auto& context = OperationContext::Instance();
        context.CloseChannel();
        context.SetNvDocument(nullptr);
        context.SetPrompts(nullptr);
        context.SetToolType(0);
        PortResolver::Instance().Set(nullptr);
        E2eFixture::TearDown();
    }
    void Attach(const std::vector<std::string>& options)
    {
        std::string path = StartHandset(options);
        PortResolver::Instance().Set([path](uint8_t port) { return port == 7 ? path : std::string(); });
    }
};

} // namespace corvanetov
