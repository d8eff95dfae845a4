#pragma once

#include <QString>
#include <optional>

#include "history/ServiceRecord.h"

namespace CLI {
class App;
}

namespace corvanetov {
class CliApp;
class CliFlash;

// corvanetov-cli recover: a handset left in download mode by a flash that
// never ended (the tool killed, a power cut) gets that flash's images again
// with the EMERGENCY option that writes them, when the files are still
// there as its unfinished record names them. A handset that answers
// normally is only identified; nothing is written to it.
class CliRecover {
public:
    CliRecover(CliApp& app, CliFlash& flash) : m_app(app), m_flash(flash) {}

    void Register(CLI::App& parser);
    // The exit status when recover was asked for.
    std::optional<int> Run();

    static constexpr char kNotTouched[] = "answers normally: not touched";
    static constexpr char kNoRecord[] = "no unfinished flash is recorded for this handset";
    static constexpr char kImagesNeeded[] = "the flash it needs cannot be run: ";

private:
    int Recover();
    // The last flash in the handset's slot on this bench that reached
    // download mode, if it did not complete (killed, a power cut, failed or
    // stopped there), and is of the handset noted as waiting there where a
    // note names one; a flash that completed there since ends the search. Empty, with why
    // (no record, or the store's error), when there is none.
    std::optional<ServiceRecord> UnfinishedFlash(QString& why) const;
    // The recorded images that are no longer there as recorded, each named
    // with its SHA-256; empty when all are.
    static QString ImagesNotThere(const ServiceRecord& flash);
    int Reflash(const ServiceRecord& flash);
    int Tell(const char* outcome, const std::string& text, int status);

    CliApp& m_app;
    CliFlash& m_flash;
    CLI::App* m_recover = nullptr;
};

} // namespace corvanetov
