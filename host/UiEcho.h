#pragma once

#include <QObject>

class QString;

namespace corvanetov {

// With CORVANETOV_UI_ECHO set, the host writes what its window tells the
// user to standard error: every status-bar line it shows and every dialog it
// opens, with a message box's text. A test that drives the real window
// under X reads the window from there instead of from pixels.
class UiEcho : public QObject {
    Q_OBJECT
public:
    static bool Enabled();
    // "status-bar N: text"
    static void StatusLine(int line, const QString& text);

    // Installed on the application: "dialog: title | text" as each dialog shows.
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace corvanetov
