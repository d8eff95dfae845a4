// The roaming data files: the fuzzer's bytes read as a preferred roaming
// list or as an ERI file into either slot, and the slot then cut into the
// pieces the programming sends.
#include <cstdint>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "ScratchFile.h"
#include "diag/DiagConstants.h"
#include "prl/Std683a.h"

using namespace corvanetov;

namespace {
void CheckPieces(const Std683a& files, int slot)
{
    uint32_t size = files.Size(slot);
    FuzzCheck(size <= Std683a::kSlotSize, "a slot holds at most its size");
    std::vector<uint8_t> piece(diag::kRoamingPieceBytes);
    for (size_t offset = 0; offset < size; offset += piece.size()) {
        size_t count = std::min<size_t>(piece.size(), size - offset);
        FuzzCheck(files.CopyBytes(piece.data(), slot, offset, count), "every piece inside the slot copies");
    }
    FuzzCheck(!files.CopyBytes(piece.data(), slot, size, 1), "nothing copies past the slot's bytes");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile picked("roaming.bin");
    FuzzBytes in(data, size);
    uint8_t choice = in.TakeByte();
    bool eri = choice & 1;
    // One slot number on either side of the slots too: refused, never stored.
    int slot = (choice >> 1) % (Std683a::kSlots + 2) - 1;
    picked.Write(in.TakeRest());

    Std683a files;
    bool read = eri ? files.ReadEriFile(picked.Path(), slot) : files.ReadPrlFile(picked.Path(), slot);
    FuzzCheck(read == files.Message().empty(), "a refused file, and only a refused one, says why");
    if (read)
        CheckPieces(files, slot);
    return 0;
}
