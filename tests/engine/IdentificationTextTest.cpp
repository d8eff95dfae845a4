#include <gtest/gtest.h>

#include "engine/IdentificationText.h"

using namespace corvanetov;
using namespace corvanetov::detail;

namespace {
// MIN1 from its three IS-95 fields.
uint32_t Min1(unsigned first, unsigned thousands, unsigned last)
{
    return first << 14 | thousands << 10 | last;
}

std::string Formatted(uint32_t min1, uint16_t min2, bool expectValid = true)
{
    std::string out = "stale";
    EXPECT_EQ(expectValid, IdentificationText::FormatMin(min1, min2, out));
    return out;
}
} // namespace

TEST(FormatMin, DigitsAreEncodedPlusOne)
{
    // 0 -> 111, 999 -> 000, 123 -> 234; thousands digit 10 means 0.
    EXPECT_EQ("(234) 111-0000", Formatted(Min1(0, 10, 999), 123));
    EXPECT_EQ("(000) 234-5678", Formatted(Min1(123, 5, 567), 999));
}

TEST(FormatMin, MissingPartsAreLeftOut)
{
    EXPECT_EQ("234-1111", Formatted(Min1(123, 1, 0), 0));
    EXPECT_EQ("", Formatted(0, 0)) << "an all-zero MIN is valid and empty";
    EXPECT_EQ("(116) ", Formatted(0, 5)) << "no MIN1: the area code alone";
}

TEST(FormatMin, InvalidFieldsGiveNoText)
{
    EXPECT_EQ("", Formatted(Min1(123, 0, 567), 345, false)) << "thousands digit 0";
    EXPECT_EQ("", Formatted(Min1(123, 11, 567), 345, false)) << "thousands digit 11";
    EXPECT_EQ("", Formatted(Min1(123, 5, 1000), 345, false)) << "last group above 999";
    EXPECT_EQ("", Formatted(Min1(123, 5, 567), 1000, false)) << "MIN2 above 999";
}

TEST(SoftwareVersion, LettersForYearAndMonth)
{
    bool monthKnown = false;
    EXPECT_EQ("AB12 ZF20", IdentificationText::SoftwareVersion("Jun 20 2006", "AB12.5", monthKnown));
    EXPECT_TRUE(monthKnown);
    EXPECT_EQ("QX7 [L03", IdentificationText::SoftwareVersion("dec 03 2007", "QX7", monthKnown));
    EXPECT_TRUE(monthKnown) << "the month is compared in upper case";
    EXPECT_EQ("V1 Z 20", IdentificationText::SoftwareVersion("Foo 20 2006", "V1.0.1", monthKnown));
    EXPECT_FALSE(monthKnown);
}

TEST(SoftwareVersion, ShortDateDoesNotReadPastIt)
{
    bool monthKnown = true;
    std::string text = IdentificationText::SoftwareVersion("Ju", "X.1", monthKnown);
    EXPECT_FALSE(monthKnown);
    EXPECT_EQ("X ", text.substr(0, 2));
}
