#include <gtest/gtest.h>
#include <algorithm>

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
    EXPECT_EQ("QX7 kL03", IdentificationText::SoftwareVersion("dec 03 2023", "QX7", monthKnown));
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

// Whatever bytes the handset sends, the texts formed from them are valid
// UTF-8 without control characters; readable characters are kept.
TEST(HandsetTexts, AreMadeReadable)
{
    struct Row {
        const char* what;
        std::string compileDate;
        std::string version;
        std::string hardware;
        std::string software;         // expected
        std::string hardwareReadable; // expected
    };
    const Row rows[] = {
        {"plain", "Jun 20 2006", "AB12.5", "HW00.01", "AB12 ZF20", "HW00.01"},
        {"high byte in the hardware version", "Jun 20 2006", "AB12.5", "REV\x80.03", "AB12 ZF20", "REV?.03"},
        {"year before the letters", "Jun 20 1900", "AB12.5", "HW", "AB12  F20", "HW"},
        {"year just before 'A'", "Jun 20 1980", "AB12.5", "HW", "AB12 @F20", "HW"},
        {"year before any printable character", "Jun 20 1948", "AB12.5", "HW", "AB12  F20", "HW"},
        {"first year letter", "Jun 20 1981", "AB12.5", "HW", "AB12 AF20", "HW"},
        {"year between the letters", "Dec 03 2007", "QX7", "HW", "QX7 [L03", "HW"},
        {"last printable year", "Jun 20 2042", "AB12.5", "HW", "AB12 ~F20", "HW"},
        {"year past the printable characters", "Jun 20 2043", "AB12.5", "HW", "AB12  F20", "HW"},
        {"year far past", "Jun 20 9999", "AB12.5", "HW", "AB12  F20", "HW"},
        {"control characters in the version", "Jun 20 2006", "AB\x01\x1b[2J.5", "H\tW\x7f", "AB??[2J ZF20", "H?W?"},
        {"bytes in the day", "Jun \xff\xfe 2006", "AB12.5", "HW", "AB12 ZF??", "HW"},
        {"UTF-8 is kept", "Jun 20 2006", "\xc3\x89V1.0", "R\xc3\xa9v", "\xc3\x89V1 ZF20", "R\xc3\xa9v"},
        {"four-byte character is kept", "Jun 20 2006", "V1", "\xf0\x9f\x93\xb1", "V1 ZF20", "\xf0\x9f\x93\xb1"},
        {"C1 control", "Jun 20 2006", "V\xc2\x85", "HW", "V?? ZF20", "HW"},
        {"overlong slash", "Jun 20 2006", "V\xc0\xaf", "HW", "V?? ZF20", "HW"},
        {"surrogate", "Jun 20 2006", "V\xed\xa0\x80", "HW", "V??? ZF20", "HW"},
        {"cut-off sequence", "Jun 20 2006", "V1", "HW\xe2\x82", "V1 ZF20", "HW??"},
        {"above U+10FFFF", "Jun 20 2006", "V\xf4\x90\x80\x80", "HW", "V???? ZF20", "HW"},
    };
    for (const Row& row : rows) {
        bool monthKnown = false;
        EXPECT_EQ(row.software, IdentificationText::SoftwareVersion(row.compileDate, row.version, monthKnown)) << row.what;
        uint8_t item[8] = {};
        std::copy(row.hardware.begin(), row.hardware.end(), item);
        EXPECT_EQ(row.hardwareReadable, IdentificationText::HardwareVersion(item, sizeof item)) << row.what;
    }
}
