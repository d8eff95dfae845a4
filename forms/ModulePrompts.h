#pragma once

#include "engine/Prompts.h"

namespace corvanetov {

// The module's answers to the engine's questions: the MSL code dialog, the
// font address dialog and message boxes, always shown on the user-interface
// thread. A worker thread that asks waits until the user has answered, or
// until a stop, which answers as a closed dialog does.
class ModulePrompts : public Prompts {
public:
    bool AskMslCode(std::string& code) override;
    bool AskFontStartAddress(uint32_t& address) override;
    Answer ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon) override;
};

} // namespace corvanetov
