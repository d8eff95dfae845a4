#include "cli/CliPrompts.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

#include "engine/EngineConstants.h"

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
    return ReadSecretLine("MSL code: ", code) && !code.empty();
}

bool CliPrompts::AskFontStartAddress(uint32_t& address)
{
    address = m_fontStartAddress.value_or(engine::kDefaultFontStartAddress);
    return true;
}

Prompts::Answer CliPrompts::ShowMessage(const std::string& text, const std::string& caption, Style style, Icon)
{
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    return style == Style::YesNo ? Answer::Yes : Answer::Ok;
}
