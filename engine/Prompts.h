#pragma once

#include <cstdint>
#include <string>

namespace corvanetov {

// What an engine operation asks the user. Views answer with modal dialogs on
// the user-interface thread, the command line with options or the terminal,
// tests with recorded answers.
class Prompts {
public:
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Style { Ok, OkCancel, YesNo };
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~Prompts() = default;
    // The MSL code dialog: false when it was closed with anything but OK.
    virtual bool AskMslCode(std::string& code) = 0;
    // The font start address dialog: false when cancelled.
    virtual bool AskFontStartAddress(uint32_t& address) = 0;
    virtual Answer ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon) = 0;
};

} // namespace corvanetov
