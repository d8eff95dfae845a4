#include "forms/ModulePrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>
#include <optional>

#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "forms/FormConstants.h"
#include "forms/StopAwareHandOver.h"
#include "widgets/FontDownDlg2.h"
#include "widgets/Msl.h"

namespace corvanetov {

namespace {

// Runs ask on the user-interface thread and returns its answer; a worker
// waits until then, or until a stop: a view that is closed while its worker
// asks stops the worker and waits for it, and must not find it waiting on
// the view. Without an application, or after a stop, the answer is the one
// of a closed dialog.
template <class Result, class Ask>
Result OnUiThread(Result closed, Ask ask)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return closed;
    // The answer outlives a worker that went on without it.
    auto answer = std::make_shared<Result>(closed);
    if (!StopAwareHandOver::Run(app, [answer, ask] { *answer = ask(); }))
        return closed;
    return *answer;
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

// Every box has a title: one the engine gives no caption takes the tool's name.
QString TitleFor(const std::string& caption)
{
    return QString::fromLatin1(caption.empty() ? FormConstants::kToolName : caption.c_str());
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
    auto typed = OnUiThread(std::optional<std::string>(), [] {
        CMsl dialog(static_cast<int>(diag::kMslLength), QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted ? std::optional(dialog.Code().toStdString()) : std::nullopt;
    });
    if (typed)
        code = *typed;
    return typed.has_value();
}

bool ModulePrompts::AskFontStartAddress(uint32_t& address)
{
    auto chosen = OnUiThread(std::optional<uint32_t>(), [] {
        CFontDownDlg2 dialog(engine::kDefaultFontStartAddress, QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted ? std::optional(CFontDownDlg2::ToStartAddress(dialog.StartAddressText()))
                                                  : std::nullopt;
    });
    if (chosen)
        address = *chosen;
    return chosen.has_value();
}

Prompts::Answer ModulePrompts::ShowMessage(const std::string& text, const std::string& caption, Style style, Icon icon)
{
    const Answer closed = style == Style::YesNo ? Answer::No : Answer::Cancel;
    return OnUiThread(closed, [text, caption, style, icon] {
        QMessageBox box(IconFor(icon), TitleFor(caption), QString::fromStdString(text), ButtonsFor(style),
                        QApplication::activeWindow());
        return AnswerFor(box.exec());
    });
}

} // namespace corvanetov
