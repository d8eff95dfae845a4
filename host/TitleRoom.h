#pragma once

#include <QObject>

class QDialog;
class QString;

namespace corvanetov {

// A window manager draws a dialog's title in a bar as wide as the dialog,
// beside its icon and buttons, and cuts it short where the dialog is
// narrower: a small dialog or a message box with a short text under a long
// title ("SOFTWARE DOWNLOAD", "Service history"). Installed on the
// application, this widens every dialog, message boxes included, as it is
// first shown, to the width its whole title needs.
class TitleRoom : public QObject {
    Q_OBJECT
public:
    // The width of the title in the title bar's font made bold, as window
    // managers draw it, with room for the icon, the buttons and the frame:
    // under openbox's default theme they took 129 pixels beside the title,
    // and its bold title ran wider than the application's font says.
    static constexpr int kBarRoom = 160;
    static int NeededWidth(const QString& title);
    static void Widen(QDialog& dialog);

    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace corvanetov
