#pragma once

#include <QObject>

class QSocketNotifier;

namespace corvanetov {

// SIGTERM and SIGHUP (a logout, `kill`, a closed terminal) end the host as
// closing its window does, without a question: a running operation is
// stopped the way its Stop button stops it, so that its record is kept and
// the port freed, before the program ends. The handler only writes to a
// pipe; the window's thread does the rest.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Received();

private:
    void OnPipeReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace corvanetov
