#include "engine/OperationFamily.h"

namespace corvanetov {

OperationFamily::Role OperationFamily::RoleOf(int32_t kind) const
{
    if (kind == engine::kNoKind)
        return Role::Other;
    if (kind == endKind || kind == doneKind)
        return Role::End;
    if (kind == statusKind)
        return Role::Status;
    if (kind == progressKind)
        return Role::Progress;
    return Role::Other;
}

const OperationFamily* OperationFamily::Find(int number)
{
    static constexpr OperationFamily kAll[] = {families::kPhoneInfo, families::kPrl, families::kEri, families::kDownload,
                                               families::kNam};
    for (const auto& family : kAll)
        if (family.number == number)
            return &family;
    return nullptr;
}

} // namespace corvanetov
