#pragma once

#include <QString>
#include <vector>

#include "forms/ViewRecord.h"
#include "history/HistoryFilter.h"
#include "history/HistoryKeeper.h"
#include "history/HistoryStore.h"

namespace corvanetov {

// The records the views of this test program kept of one operation, newest
// first. Where they are kept is fixed at their first keep: a test program
// points XDG_DATA_HOME at a folder of its own before that.
inline std::vector<ServiceRecord> KeptViewRecords(const QString& operation)
{
    std::vector<ServiceRecord> found;
    ViewRecord::AwaitKept();
    HistoryStore store(ViewRecord::Keeper().Location());
    if (!store.Open())
        return found;
    HistoryFilter filter;
    filter.operation = operation;
    store.Query(filter, [&found](const ServiceRecord& record) {
        found.push_back(record);
        return true;
    });
    return found;
}

} // namespace corvanetov
