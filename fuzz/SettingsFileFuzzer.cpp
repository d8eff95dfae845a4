// A settings file (*.mmc) as the user picks it: read into the NV document,
// shown as the settings grid shows it, saved again and stored as a write to
// the handset stores it.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ScratchFile.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"
#include "nv/SettingsFile.h"

using namespace corvanetov;

namespace {
bool SameValues(const SettingsValues& a, const SettingsValues& b)
{
    return a.lockCode == b.lockCode && a.uimLockCode == b.uimLockCode && a.sids == b.sids;
}

// Saving what was read, unedited, keeps every value the grid showed, and
// the saved file reads back byte for byte.
void CheckSaveKeeps(const NvDoc& doc, const SettingsValues& shown, const ScratchFile& saved)
{
    const NvDoc::Image read = doc.Snapshot();
    NvDoc again;
    again.Load(read.data(), read.size());
    SettingsCatalogue::PlainStore(shown, again, true);
    FuzzCheck(SameValues(SettingsCatalogue::Fill(again), shown), "a save without edits keeps the values shown");
    std::string reason;
    FuzzCheck(SettingsFile::Write(saved.Path(), again, reason), "a settings file saves");
    NvDoc reread;
    FuzzCheck(SettingsFile::Read(saved.Path(), reread) == SettingsFile::ReadResult::Ok, "a saved settings file reads");
    FuzzCheck(reread.Snapshot() == again.Snapshot(), "a saved settings file reads back byte for byte");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile picked("picked.mmc");
    static const ScratchFile saved("saved.mmc");
    picked.Write(data, size);
    NvDoc doc;
    if (SettingsFile::Read(picked.Path(), doc) != SettingsFile::ReadResult::Ok)
        return 0;
    SettingsValues shown = SettingsCatalogue::Fill(doc);
    CheckSaveKeeps(doc, shown, saved);
    SettingsCatalogue::ValidatedStore(shown, doc);
    return 0;
}
