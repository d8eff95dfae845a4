#pragma once

#include <QMessageBox>
#include <QWidget>
#include <string>
#include <vector>
class QLabel;

namespace corvanetov {

class CLabel;
class CSpreadSheet;
struct OperationMessage;

// A view the host shows in its frame. It does its one-time set-up on its
// first show (and whatever may ask the user, once that show is over), and takes the commands the host routes to the active view
// (print, copy, cut, paste) through OnCommand.
class CFormView : public QWidget {
    Q_OBJECT
public:
    explicit CFormView(QWidget* parent = nullptr);

    // True when the view handled the command.
    Q_INVOKABLE virtual bool OnCommand(int command);
    // "Program is running....Would you stop anyway!!!": true on Yes. Tests
    // answer it without a box.
    virtual bool AskStop();

protected:
    // The stop question with this text, No the default button.
    bool AskStopWith(const QString& question);
    // A widget that comes and goes (the busy animation) keeps its place, so
    // that the rest of the view stays put.
    static void KeepPlaceWhenHidden(QWidget& widget);
    void showEvent(QShowEvent* event) override;
    virtual void OnInitialUpdate() = 0;
    // Runs once, after the first show has finished, with the window on
    // screen: the place for anything that may open a dialog. Later shows
    // only enable or disable the controls (OperationRunner does).
    virtual void OnFirstShown() {}

    // The large title every view carries: black on orange, bold, upright.
    static void StyleTitle(CLabel& title);
    // A label that shows a chosen file's path: navy on pale yellow, bold, italic.
    static void StylePath(CLabel& path);
    // The logo is shown only to tools of a nonzero type.
    static void ShowLogoForToolType(QLabel& picture);
    // One line of the host's status bar (PluginAbi::HostLine).
    static void SendHostLine(int line, const QString& text);
    // A phone-information text of the NV document; empty without one.
    static std::string DocumentText(int which);
    // The icon of the box that tells an operation's end: a failure warns.
    static QMessageBox::Icon EndIcon(const OperationMessage& end);
    // The print preview of the grid, every page naming the handset's ESN
    // and the tool's version.
    // secretRows: rows whose values print as **** unless the user shows them.
    void ShowPrintDialog(CSpreadSheet& grid, const std::vector<int>& secretRows = {});
    // The phone line with the ESN the NV document holds.
    static void SendEsnLine();

private:
    bool m_firstShown = false;
};

} // namespace corvanetov
