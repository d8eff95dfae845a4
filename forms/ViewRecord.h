#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "engine/OperationSink.h"
#include "history/ServiceRecord.h"

namespace corvanetov {

class HistoryKeeper;

// The service record of a view's operation: begun when the runner starts
// it, kept once when it ends, whatever the end. What could not be kept is
// said on the host's status line and the debug output.
class ViewRecord {
public:
    // operation: as the record names it; empty for a view whose operation
    // touches no handset, which keeps none.
    void Begin(const QString& operation);
    // A flash's step into download mode also keeps its record as begun,
    // as unfinished (OperationRecord::Unfinished).
    void Note(const OperationMessage& message);
    void KeepEnded(const OperationMessage& end);
    void KeepStopped();
    // The record being made, or null.
    ServiceRecord* Draft() { return m_record ? &*m_record : nullptr; }

    // The store every view of this process keeps its records in.
    static HistoryKeeper& Keeper();
    // Waits until the records handed over so far are kept. The window never
    // waits for a store: its records are kept on a thread of their own.
    static void AwaitKept();

private:
    void Keep(bool stopped, bool succeeded, const std::string& text);
    static void Hand(const ServiceRecord& record);

    std::optional<ServiceRecord> m_record;
    std::vector<OperationMessage> m_messages;
    std::string m_identifiedEsn;
    uint64_t m_identificationsBefore = 0;
    bool m_unfinishedKept = false;
};

} // namespace corvanetov
