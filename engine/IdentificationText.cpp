#include "engine/IdentificationText.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "engine/EngineConstants.h"

namespace corvanetov::detail {

namespace {
// The compile date "Mmm dd yyyy".
constexpr size_t kMonthLength = 3;
constexpr size_t kDayOffset = 4;
constexpr size_t kDayLength = 2;
constexpr size_t kYearOffset = 7;
constexpr size_t kYearLength = 4;

// Three decimal digits of a 10-bit MIN group, each digit plus one, 10 as 0.
std::string MinDigits(unsigned value)
{
    std::string digits;
    for (unsigned divisor : {100u, 10u, 1u})
        digits += static_cast<char>('0' + ((value / divisor) % 10 + 1) % 10);
    return digits;
}

constexpr char kReplacement = '?';
constexpr char kNoLetter = ' ';

// The year letter is the character whose code is the year minus the base.
// Past 'Z' it runs on through the punctuation to the small letters, as
// handsets built then show it; only a year that gives no printable
// character (before 1949, after 2042, or no year at all) gets a blank.
char YearLetter(int year)
{
    int code = year - engine::kYearLetterBase;
    bool printable = code > ' ' && code < 0x7F;
    return printable ? static_cast<char>(code) : kNoLetter;
}

bool Continuation(int byte, int low = 0x80, int high = 0xBF)
{
    return byte >= low && byte <= high;
}

// The length of the readable UTF-8 character at text[at]; 0 for a control
// character (C0, DEL, C1) or anything that is not well-formed UTF-8.
size_t ReadableLength(std::string_view text, size_t at)
{
    auto byte = [&](size_t i) -> unsigned char { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0; };
    unsigned char lead = byte(0);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return Continuation(byte(1), lead == 0xC2 ? 0xA0 : 0x80) ? 2 : 0; // U+0080 to U+009F are controls
    if (lead >= 0xE0 && lead <= 0xEF) {
        unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        unsigned char high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        return Continuation(byte(1), low, high) && Continuation(byte(2)) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        unsigned char high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        return Continuation(byte(1), low, high) && Continuation(byte(2)) && Continuation(byte(3)) ? 4 : 0;
    }
    return 0;
}

char MonthLetter(const std::string& date, bool& known)
{
    static const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::string month;
    for (size_t i = 0; i < kMonthLength && i < date.size(); ++i)
        month += static_cast<char>(std::toupper(static_cast<unsigned char>(date[i])));
    for (int i = 0; i < 12; ++i) {
        if (month == kMonths[i]) {
            known = true;
            return static_cast<char>('A' + i);
        }
    }
    known = false;
    return kNoLetter;
}
} // namespace

bool IdentificationText::FormatMin(uint32_t min1, uint16_t min2, std::string& out)
{
    out.clear();
    unsigned first = (min1 >> 14) & 0x3FF;
    unsigned thousands = (min1 >> 10) & 0xF;
    unsigned last = min1 & 0x3FF;
    // No MIN1 at all is a valid, empty number part; otherwise its thousands
    // digit must be 1 to 10.
    bool thousandsValid = min1 == 0 || (thousands >= 1 && thousands <= 10);
    if (!thousandsValid || min2 > 999 || last > 999)
        return false;
    if (min2 != 0)
        out = "(" + MinDigits(min2) + ") ";
    if (min1 != 0)
        out += MinDigits(first) + "-" + static_cast<char>('0' + thousands % 10) + MinDigits(last);
    if (out.size() > static_cast<size_t>(engine::kMinTextLength))
        out.resize(engine::kMinTextLength);
    return true;
}

std::string IdentificationText::SoftwareVersion(const std::string& compileDate, const std::string& version, bool& monthKnown)
{
    char month = MonthLetter(compileDate, monthKnown);
    bool hasYear = compileDate.size() >= kYearOffset + kYearLength;
    int year = hasYear ? std::atoi(compileDate.substr(kYearOffset, kYearLength).c_str()) : 0;
    std::string day = compileDate.size() >= kDayOffset + kDayLength ? compileDate.substr(kDayOffset, kDayLength) : std::string();
    std::string prefix = version.substr(0, version.find('.'));
    return Readable(prefix + " " + YearLetter(year) + month + day);
}

std::string IdentificationText::HardwareVersion(const uint8_t* bytes, size_t size)
{
    const char* text = reinterpret_cast<const char*>(bytes);
    return Readable(std::string_view(text, strnlen(text, size)));
}

std::string IdentificationText::Readable(std::string_view text)
{
    std::string readable;
    readable.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t length = ReadableLength(text, at);
        if (length == 0) {
            readable += kReplacement;
            ++at;
        } else {
            readable.append(text.substr(at, length));
            at += length;
        }
    }
    return readable;
}

} // namespace corvanetov::detail
