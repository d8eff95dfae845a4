#include "forms/ViewRecord.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QtDebug>

#include "engine/OperationContext.h"
#include "history/HistoryKeeper.h"
#include "history/OperationRecord.h"
#include "hostlink/HostNotifier.h"

namespace corvanetov {

namespace {
constexpr char kFrontEnd[] = "host";
constexpr char kStopped[] = "Stopped";
} // namespace

HistoryKeeper& ViewRecord::Keeper()
{
    static HistoryKeeper keeper = [] {
        QString why;
        std::optional<HistoryLocation> location = HistoryLocation::Resolve({}, &why);
        if (!location)
            qWarning().noquote() << why << "- the records are kept on this bench";
        return HistoryKeeper(location.value_or(HistoryLocation::BenchFile()));
    }();
    return keeper;
}

namespace {
// One thread, so that the records are kept in the order they ended and the
// keeper's notices are counted once.
QThreadPool& KeepingThread()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

void TellNotices(const QStringList& notices)
{
    for (const QString& notice : notices) {
        qWarning().noquote() << notice;
        HostNotifier::Instance().Send(PluginAbi::kStatusLine, notice.toStdString());
    }
}
} // namespace

void ViewRecord::AwaitKept()
{
    KeepingThread().waitForDone();
}

void ViewRecord::Begin(const QString& operation)
{
    m_messages.clear();
    m_identifiedEsn.clear();
    m_identificationsBefore = OperationRecord::Identifications();
    m_unfinishedKept = false;
    m_record.reset();
    if (!operation.isEmpty())
        m_record = OperationRecord::Begin(kFrontEnd, operation);
}

void ViewRecord::Note(const OperationMessage& message)
{
    if (!m_record)
        return;
    m_messages.push_back(message);
    OperationRecord::NoteIdentity(m_identifiedEsn, m_identificationsBefore);
    if (!m_unfinishedKept && OperationRecord::ReachesDownloadMode(message)) {
        m_unfinishedKept = true;
        Hand(OperationRecord::Unfinished(*m_record, m_identifiedEsn));
    }
}

void ViewRecord::KeepEnded(const OperationMessage& end)
{
    const bool succeeded = end.outcome == OperationMessage::Outcome::Succeeded;
    // A view shows a failure's text from the context where the report has none.
    Keep(false, succeeded, end.text.empty() && !succeeded ? Context().ErrorText() : end.text);
}

void ViewRecord::KeepStopped()
{
    Keep(true, false, kStopped);
}

void ViewRecord::Hand(const ServiceRecord& record)
{
    HistoryKeeper& keeper = Keeper();
    KeepingThread().start([&keeper, record] {
        const QStringList notices = keeper.Keep(record);
        if (!notices.isEmpty())
            QMetaObject::invokeMethod(QCoreApplication::instance(), [notices] { TellNotices(notices); }, Qt::QueuedConnection);
    });
}

void ViewRecord::Keep(bool stopped, bool succeeded, const std::string& text)
{
    if (!m_record)
        return;
    OperationRecord::Finish(*m_record,
                            {stopped, succeeded, text, 0, std::move(m_messages), m_identifiedEsn, m_identificationsBefore});
    Hand(*m_record);
    m_record.reset();
    m_messages.clear();
}

} // namespace corvanetov
