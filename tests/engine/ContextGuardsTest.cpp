#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/OperationRecorder.h"
#include "engine/ContextGuards.h"
#include "nv/NvDoc.h"

using namespace corvanetov;

// A guard installs its part for its scope, however the scope is left, and
// leaves alone a part that took its place meanwhile.
TEST(ScopedContextPart, InstallsForItsScopeAndLeavesAPartThatReplacedIt)
{
    OperationContext& context = OperationContext::Instance();
    NvDoc mine;
    NvDoc other;
    try {
        const ScopedNvDocument installed(&mine);
        EXPECT_EQ(context.NvDocument(), &mine);
        throw std::runtime_error("the scope is left early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(context.NvDocument(), nullptr);

    {
        const ScopedNvDocument installed(&mine);
        context.SetNvDocument(&other);
    }
    EXPECT_EQ(context.NvDocument(), &other);
    context.SetNvDocument(nullptr);

    OperationRecorder recorder;
    {
        const ScopedTarget target(&recorder);
        EXPECT_EQ(context.Target(), &recorder);
    }
    EXPECT_EQ(context.Target(), nullptr);
}
