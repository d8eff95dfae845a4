#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Prompts.h"

namespace corvanetov {

// Answers the MSL question (and the font start address, when it has one) as
// a user would, and counts the MSL questions.
class RecordedPrompts : public Prompts {
public:
    std::string code;
    bool cancel = false;
    int asked = 0;
    std::optional<uint32_t> fontStartAddress;
    bool AskMslCode(std::string& out) override
    {
        ++asked;
        out = code;
        return !cancel;
    }
    bool AskFontStartAddress(uint32_t& address) override
    {
        address = fontStartAddress.value_or(0);
        return fontStartAddress.has_value();
    }
    Answer ShowMessage(const std::string&, const std::string&, Style, Icon) override { return Answer::Ok; }
};

} // namespace corvanetov
