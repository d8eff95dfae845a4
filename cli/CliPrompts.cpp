#include "cli/CliPrompts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"

namespace corvanetov {

namespace {
// Reads one line from the terminal without echo (an MSL code is a secret).
bool ReadSecretLine(const char* prompt, std::string& line)
{
    if (!isatty(STDIN_FILENO))
        return false;
    std::fprintf(stderr, "%s", prompt);
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~ECHO;
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    bool ok = static_cast<bool>(std::getline(std::cin, line));
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fprintf(stderr, "\n");
    return ok;
}

constexpr size_t kFontAddressDigits = 8;
constexpr char kFontAddressQuestion[] = "Font start address [%X]: 0x";
} // namespace

CliPrompts::CliPrompts(std::optional<std::string> msl, std::optional<uint32_t> fontStartAddress)
    : m_msl(std::move(msl)), m_fontStartAddress(fontStartAddress)
{
}

bool CliPrompts::AskMslCode(std::string& code)
{
    if (m_msl) {
        code = *m_msl;
        return true;
    }
    // As the dialog stays open, a code of another shape is asked for again.
    while (ReadSecretLine("MSL code: ", code)) {
        if (IsMslCode(code))
            return true;
        std::fprintf(stderr, "The MSL code is 6 digits.\n");
    }
    return false;
}

bool CliPrompts::IsMslCode(const std::string& text)
{
    return text.size() == diag::kMslLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool CliPrompts::AskFontStartAddress(uint32_t& address)
{
    if (!m_fontStartAddress)
        return false;
    address = *m_fontStartAddress;
    return true;
}

std::optional<uint32_t> CliPrompts::ParseFontAddress(const std::string& text)
{
    // Digits only, as the font dialog takes them: "0x10" is not read as 0x10.
    const std::string& digits = text;
    if (digits.empty() || digits.size() > kFontAddressDigits)
        return std::nullopt;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
}

std::optional<uint32_t> CliPrompts::FontAddressFromTerminal()
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    for (std::string line;;) {
        std::fprintf(stderr, kFontAddressQuestion, engine::kDefaultFontStartAddress);
        if (!std::getline(std::cin, line))
            return std::nullopt;
        if (line.empty())
            return engine::kDefaultFontStartAddress;
        if (auto address = ParseFontAddress(line))
            return address;
        std::fprintf(stderr, "One to eight hexadecimal digits, please.\n");
    }
}

Prompts::Answer CliPrompts::ShowMessage(const std::string& text, const std::string& caption, Style style, Icon)
{
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    return style == Style::YesNo ? Answer::Yes : Answer::Ok;
}

} // namespace corvanetov
