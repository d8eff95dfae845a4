#pragma once

#include <optional>
#include <string>

#include "engine/Prompts.h"

namespace corvanetov {

// Answers the engine's questions from the command line's options, else on
// the terminal; without a terminal a question is a cancel. The font start
// address is asked for before the operation starts (FontAddressFromTerminal),
// so the question never meets the progress line.
class CliPrompts : public Prompts {
public:
    CliPrompts(std::optional<std::string> msl, std::optional<uint32_t> fontStartAddress);

    bool AskMslCode(std::string& code) override;
    // The address given; none is a cancel.
    bool AskFontStartAddress(uint32_t& address) override;
    Answer ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon) override;

    // A code the MSL dialog takes: 6 digits.
    static bool IsMslCode(const std::string& text);
    // One to eight hexadecimal digits, "0x" in front or not, as the font
    // dialog takes them.
    static std::optional<uint32_t> ParseFontAddress(const std::string& text);
    // The font dialog on the terminal: an empty answer takes its default
    // "2E00000". Nothing without a terminal or when the input ends.
    static std::optional<uint32_t> FontAddressFromTerminal();

private:
    std::optional<std::string> m_msl;
    std::optional<uint32_t> m_fontStartAddress;
};

} // namespace corvanetov
