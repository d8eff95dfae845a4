#include "engine/IdentificationText.h"

#include <cctype>
#include <cstdlib>

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
    return ' ';
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
    char yearLetter = static_cast<char>(year - engine::kYearLetterBase);
    std::string day = compileDate.size() >= kDayOffset + kDayLength ? compileDate.substr(kDayOffset, kDayLength) : std::string();
    std::string prefix = version.substr(0, version.find('.'));
    return prefix + " " + yearLetter + month + day;
}

} // namespace corvanetov::detail
