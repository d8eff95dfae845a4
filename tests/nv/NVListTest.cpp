#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "nv/NVList.h"
#include "platform/Trace.h"

using namespace corvanetov;

namespace {

// Captures the debug trace in a file for the length of one test.
class TraceCapture {
public:
    TraceCapture() : m_path(testing::TempDir() + "nvlist-trace-" + std::to_string(::getpid()) + ".txt")
    {
        std::remove(m_path.c_str());
        Trace::Instance().SetTarget(m_path);
    }
    ~TraceCapture()
    {
        Trace::Instance().SetTarget("");
        std::remove(m_path.c_str());
    }
    std::string Text() const
    {
        std::ifstream in(m_path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_path;
};

NVList SettingsList()
{
    NVList list;
    list.Add(82, 0);
    list.Add(2071, 0);
    list.Add(2073, 1);
    return list;
}

} // namespace

TEST(NVList, StepsThroughEntriesAndTracesEachOne)
{
    TraceCapture trace;
    NVList list = SettingsList();
    EXPECT_EQ(list.CurrentIndex(), 0); // before the first Next
    EXPECT_EQ(list.Current(), 0);
    EXPECT_EQ(list.Next(), 82);
    EXPECT_EQ(list.Next(), 2071);
    EXPECT_EQ(list.Current(), 2071);
    EXPECT_EQ(list.Next(), 2073);
    EXPECT_EQ(list.CurrentIndex(), 1);
    EXPECT_EQ(list.Next(), -1);
    EXPECT_EQ(list.Position(), 3);
    EXPECT_EQ(trace.Text(), "NV[  0] = 82   Index = 0\n"
                            "NV[  1] =2071   Index = 0\n"
                            "NV[  1] =2071   LOOP\n"
                            "NV[  2] =2073   Index = 1\n"
                            "END OF NV_LIST\n");
}

TEST(NVList, EmptyListEndsAtOnce)
{
    TraceCapture trace;
    NVList list;
    EXPECT_EQ(list.Next(), -1);
    EXPECT_EQ(list.Position(), 0);
    EXPECT_EQ(trace.Text(), "END OF NV_LIST\n");
}

TEST(NVList, PastTheEndStaysThereUntilReset)
{
    NVList list = SettingsList();
    for (int i = 0; i < 3; ++i)
        list.Next();
    EXPECT_EQ(list.Next(), -1);
    EXPECT_EQ(list.Next(), -1);
    EXPECT_EQ(list.Position(), 3);
    EXPECT_EQ(list.CurrentIndex(), 0);
    list.Reset();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Position(), -1);
    EXPECT_EQ(list.Next(), -1);
}

TEST(NVList, CurrentPastTheEndRewindsToTheFirstEntry)
{
    NVList list = SettingsList();
    while (list.Next() != -1) {
    }
    EXPECT_EQ(list.Current(), -1);
    EXPECT_EQ(list.Position(), -1);
    EXPECT_EQ(list.Next(), 82);
}

TEST(NVList, HoldsExactlyItsCapacity)
{
    NVList list;
    for (int i = 0; i < nv::kListCapacity; ++i)
        ASSERT_TRUE(list.Add(static_cast<uint16_t>(i), i));
    EXPECT_FALSE(list.Add(9999, 0));
    EXPECT_EQ(list.Count(), nv::kListCapacity);
    for (int i = 0; i < nv::kListCapacity; ++i)
        ASSERT_EQ(list.Next(), i);
    EXPECT_EQ(list.CurrentIndex(), nv::kListCapacity - 1);
    EXPECT_EQ(list.Next(), -1); // the refused entry was not kept
    EXPECT_EQ(list.CurrentIndex(), 0);
}
