#pragma once

#include <cstdint>
#include <string>

#include "engine/Prompts.h"

namespace corvanetov {

// Answers the MSL question as a user would, and counts the questions.
class RecordedPrompts : public Prompts {
public:
    std::string code;
    bool cancel = false;
    int asked = 0;
    bool AskMslCode(std::string& out) override
    {
        ++asked;
        out = code;
        return !cancel;
    }
    bool AskFontStartAddress(uint32_t&) override { return false; }
    Answer ShowMessage(const std::string&, const std::string&, Style, Icon) override { return Answer::Ok; }
};

} // namespace corvanetov
