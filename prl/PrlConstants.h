#pragma once

namespace corvanetov {

// The roaming file reader's messages, as the user sees them: the reason
// (with "%s" for the path) followed by what to check.
namespace prl {
constexpr char kFailToRead[] = " Fail to read from %s";
constexpr char kInvalidPrl[] = " Invalid Prl file : %s";
constexpr char kNotStandard[] = " %s is not a standard 683A-PRL file";
constexpr char kTooLarge[] = " %s is too large";
constexpr char kEmpty[] = " %s is empty";
constexpr char kCheckPrl[] = "\n Please Check prl_file !";
constexpr char kCheckEri[] = "\n Please Check eri_file !";
} // namespace prl

} // namespace corvanetov
