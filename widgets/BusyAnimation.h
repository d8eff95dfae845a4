#pragma once

#include <QTimer>
#include <QWidget>

namespace corvanetov {

// The busy animation of a view: a ring of dots running round while an
// operation works. Drawn by itself, so it needs no clip resource; it costs
// nothing while stopped or hidden.
class CBusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit CBusyAnimation(QWidget* parent = nullptr);

    // Plays from the first frame, round and round until Stop.
    void Play();
    void Stop();
    bool IsPlaying() const { return m_timer.isActive(); }
    int Frame() const { return m_frame; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void NextFrame();

    QTimer m_timer;
    int m_frame = 0;
};

} // namespace corvanetov
