#pragma once

#include <cstdint>

#include "engine/EngineConstants.h"

namespace corvanetov {

// What the kinds of one operation message family mean. A front end that
// knows the families shows any operation's reports without knowing the
// operation; the engine's operations report through them.
struct OperationFamily {
    enum class Role { Progress, Status, End, Other };

    int number;
    int32_t progressKind; // the value is the percentage; kNoKind when the family has none
    int32_t statusKind;   // the text is a step name
    int32_t endKind;      // the text is the operation error text or a completion text
    int32_t doneKind;     // a second end kind that only a success uses; kNoKind when none

    Role RoleOf(int32_t kind) const;
    // The family of a message number; null for any other number.
    static const OperationFamily* Find(int number);
};

namespace families {
constexpr OperationFamily kPhoneInfo{engine::kMsgPhoneInfo, engine::kNoKind, engine::kPhoneInfoStatus,
                                     engine::kPhoneInfoFinished, engine::kNoKind};
constexpr OperationFamily kPrl{engine::kMsgPrl, engine::kPrlProgress, engine::kPrlStatus, engine::kPrlEnd, engine::kNoKind};
constexpr OperationFamily kEri{engine::kMsgEri, engine::kEriProgress, engine::kEriStatus, engine::kEriEnd, engine::kNoKind};
constexpr OperationFamily kDownload{engine::kMsgDownload, engine::kDownloadProgress, engine::kDownloadStatus,
                                    engine::kDownloadEnd, engine::kNoKind};
constexpr OperationFamily kNam{engine::kMsgNam, engine::kNamProgress, engine::kNamStatus, engine::kNamEnd,
                               engine::kNamReadDone};
} // namespace families

} // namespace corvanetov
