#include "forms/ModulePrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "widgets/FontDownDlg2.h"
#include "widgets/Msl.h"

namespace corvanetov {

namespace {

// Runs ask on the user-interface thread and returns its answer; a worker
// blocks until then. Without an application there is nobody to ask: the
// answer is the one of a closed dialog.
template <class Result, class Ask>
Result OnUiThread(Result closed, Ask ask)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return closed;
    if (QThread::currentThread() == app->thread())
        return ask();
    Result result = closed;
    QMetaObject::invokeMethod(app, [&] { result = ask(); }, Qt::BlockingQueuedConnection);
    return result;
}

QMessageBox::StandardButtons ButtonsFor(Prompts::Style style)
{
    switch (style) {
    case Prompts::Style::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompts::Style::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompts::Style::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconFor(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

Prompts::Answer AnswerFor(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return Prompts::Answer::Yes;
    case QMessageBox::No:
        return Prompts::Answer::No;
    case QMessageBox::Cancel:
        return Prompts::Answer::Cancel;
    default:
        return Prompts::Answer::Ok;
    }
}

} // namespace

bool ModulePrompts::AskMslCode(std::string& code)
{
    return OnUiThread(false, [&] {
        CMsl dialog(static_cast<int>(diag::kMslLength), QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        code = dialog.Code().toStdString();
        return true;
    });
}

bool ModulePrompts::AskFontStartAddress(uint32_t& address)
{
    return OnUiThread(false, [&] {
        CFontDownDlg2 dialog(engine::kDefaultFontStartAddress, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        address = CFontDownDlg2::ToStartAddress(dialog.StartAddressText());
        return true;
    });
}

Prompts::Answer ModulePrompts::ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon)
{
    const Answer closed = style == Style::YesNo ? Answer::No : Answer::Cancel;
    return OnUiThread(closed, [&] {
        QMessageBox box(IconFor(icon), QString::fromStdString(caption), QString::fromStdString(text), ButtonsFor(style),
                        QApplication::activeWindow());
        return AnswerFor(box.exec());
    });
}

} // namespace corvanetov
