#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace corvanetov {

// Answers the next modal dialog from the event loop: as soon as one is open,
// it is handed to the answer. A dialog still open when the time is up is
// rejected, so that a test fails instead of hanging on it.
class ModalAnswerer {
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswerer(Answer answer, int timeoutMs = 20000)
        : m_answer(std::move(answer))
        , m_timeoutMs(timeoutMs)
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(10);
    }

    bool Answered() const { return m_answered; }
    bool TimedOut() const { return m_timedOut; }
    QString DialogTitle() const { return m_title; }

private:
    void Tick()
    {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog && !m_answered) {
            m_answered = true;
            m_title = dialog->windowTitle();
            m_answer(dialog);
            return;
        }
        if (m_clock.elapsed() < m_timeoutMs)
            return;
        m_timer.stop();
        while (QWidget* open = QApplication::activeModalWidget()) {
            m_timedOut = true;
            open->close();
            if (QApplication::activeModalWidget() == open)
                break;
        }
    }

    Answer m_answer;
    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_answered = false;
    bool m_timedOut = false;
    QString m_title;
};

} // namespace corvanetov
