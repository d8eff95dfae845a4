#pragma once

#include <optional>
#include <string>

#include "engine/Prompts.h"

// Answers the engine's questions from the command line's options, else on
// the terminal; without a terminal a question is a cancel.
class CliPrompts : public Prompts {
public:
    CliPrompts(std::optional<std::string> msl, std::optional<uint32_t> fontStartAddress);

    bool AskMslCode(std::string& code) override;
    bool AskFontStartAddress(uint32_t& address) override;
    Answer ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon) override;

private:
    std::optional<std::string> m_msl;
    std::optional<uint32_t> m_fontStartAddress;
};
