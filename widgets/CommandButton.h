#pragma once

#include <QPushButton>
#include <QString>

namespace corvanetov {

// The push button of every form. The forms read and replace its caption as
// its window text (a start button reads "Stop" while its job runs), enable
// and disable it, and handle its Click.
class CCommandButton : public QPushButton {
    Q_OBJECT
public:
    explicit CCommandButton(QWidget* parent = nullptr);

    QString GetWindowText() const { return text(); }
    void SetWindowText(const QString& caption) { setText(caption); }

signals:
    void Click();
};

} // namespace corvanetov
