#include "sim/RoamingAssembler.h"

#include "sim/SimConstants.h"

RoamingAssembler::Result RoamingAssembler::Accept(FileKind kind, const uint8_t* request, size_t size)
{
    if (size != sim::kRoamingRequestSize)
        return {sim::kRoamingBadPiece, false};
    int piece = request[1];
    bool more = request[2] != 0;
    int nam = request[3];
    unsigned bits = request[4] | request[5] << 8;
    if (nam < 0 || nam >= sim::kNamCount || bits % 8 != 0 || bits == 0 || bits > sim::kRoamingPieceBytes * 8
        || (more && bits != sim::kRoamingPieceBytes * 8))
        return {sim::kRoamingBadPiece, false};

    Slot& slot = SlotOf(kind, nam);
    if (piece == slot.lastPiece) {
        slot.data.resize(slot.lastPieceOffset); // the same piece again
    } else if (piece == 0) {
        slot.data.clear();
    } else if (piece != slot.lastPiece + 1 || slot.complete) {
        return {sim::kRoamingOutOfOrder, false};
    }
    if (slot.data.size() + bits / 8 > sim::kRoamingFileLimit) {
        slot = Slot{{}, -1, 0, false, std::move(slot.completed)};
        return {sim::kRoamingTooLarge, false};
    }
    slot.lastPiece = piece;
    slot.lastPieceOffset = slot.data.size();
    const uint8_t* data = request + sim::kRoamingDataOffset;
    slot.data.insert(slot.data.end(), data, data + bits / 8);
    slot.complete = !more;
    if (more)
        return {sim::kRoamingMore, false};
    slot.completed = slot.data;
    return {sim::kRoamingComplete, true};
}

const std::vector<uint8_t>& RoamingAssembler::Completed(FileKind kind, int nam) const
{
    return m_slots[static_cast<size_t>(kind) * 2 + static_cast<size_t>(nam)].completed;
}

std::string RoamingAssembler::FileName(FileKind kind, int nam)
{
    return "nam" + std::to_string(nam + 1) + (kind == FileKind::Prl ? ".prl" : ".eri");
}
