#include <gtest/gtest.h>

#include <optional>

#include "engine/OperationRecorder.h"
#include "platform/Pacing.h"

using namespace corvanetov;

namespace {
using Role = OperationFamily::Role;

struct KindCase {
    int number;
    int32_t kind;
    Role role;
};

// Every family's kinds as the views read them.
const KindCase kKinds[] = {
    {1524, 0, Role::Other},  {1524, 1, Role::End},     {1524, 2, Role::Status},   {1525, 5, Role::Progress},
    {1525, 6, Role::End},    {1525, 7, Role::Status},  {1526, 10, Role::Progress}, {1526, 11, Role::End},
    {1526, 12, Role::Status}, {1527, 15, Role::Progress}, {1527, 16, Role::End},    {1527, 17, Role::Status},
    {1528, 20, Role::Progress}, {1528, 21, Role::End}, {1528, 22, Role::Status},   {1528, 23, Role::End},
    {1528, 5, Role::Other},  {1600, 1, Role::Other},   {1524, -1, Role::Other},
};

OperationMessage Message(int number, int32_t kind, const std::string& text = {}, int32_t value = 0,
                         OperationMessage::Outcome outcome = OperationMessage::Outcome::None)
{
    return {number, 0, kind, value, text, outcome};
}
} // namespace

TEST(OperationRecorder, EachFamilysKindsHaveTheirRoles)
{
    for (const auto& c : kKinds) {
        std::optional<Role> heard;
        OperationRecorder recorder(OperationRecorder::OnEnd::Continue, [&](const OperationMessage&, Role role) { heard = role; });
        recorder.OnOperationMessage(Message(c.number, c.kind));
        EXPECT_EQ(c.role, heard) << c.number << " kind " << c.kind;
    }
}

TEST(OperationRecorder, TheFirstEndDecidesAndEndsTheWorker)
{
    OperationRecorder recorder;
    EXPECT_EQ(-1, recorder.Percent());
    recorder.OnOperationMessage(Message(1528, 20, "", 33));
    recorder.OnOperationMessage(Message(1528, 21, "Error in reading NAM", 0, OperationMessage::Outcome::Failed));
    EXPECT_TRUE(Pacing::Instance().StopRequested()) << "a view ends the worker on its end report";
    Pacing::Instance().ClearStop();
    recorder.OnOperationMessage(Message(1528, 23, "Completed Reading from Phone", 0, OperationMessage::Outcome::Succeeded));
    EXPECT_TRUE(recorder.Finished());
    EXPECT_FALSE(recorder.Succeeded());
    EXPECT_EQ("Error in reading NAM", recorder.EndText());
    EXPECT_EQ(33, recorder.Percent());
    EXPECT_EQ(3u, recorder.Messages().size());
    EXPECT_FALSE(Pacing::Instance().StopRequested()) << "only the first end stops";
}

TEST(OperationRecorder, AnOperationMayRunOnPastItsEnd)
{
    OperationRecorder recorder(OperationRecorder::OnEnd::Continue);
    recorder.OnOperationMessage(Message(1527, 16, "Completed Flash Programming", 0, OperationMessage::Outcome::Succeeded));
    EXPECT_FALSE(Pacing::Instance().StopRequested());
    EXPECT_TRUE(recorder.Succeeded());
    EXPECT_EQ("Completed Flash Programming", recorder.EndText());
}
