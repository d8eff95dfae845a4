#include "host/UiEcho.h"

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <cstdio>

namespace corvanetov {

namespace {
constexpr char kVariable[] = "CORVANETOV_UI_ECHO";

// One line per report, whatever the text holds.
void Echo(const QString& what, QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), text.toUtf8().constData());
    std::fflush(stderr);
}
} // namespace

bool UiEcho::Enabled()
{
    static const bool enabled = !qEnvironmentVariableIsEmpty(kVariable);
    return enabled;
}

void UiEcho::StatusLine(int line, const QString& text)
{
    if (Enabled())
        Echo(QStringLiteral("status-bar %1").arg(line), text);
}

bool UiEcho::eventFilter(QObject* watched, QEvent* event)
{
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (event->type() != QEvent::Show || !dialog)
        return false;
    QString text = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        text += QLatin1String(" | ") + box->text();
        if (!box->informativeText().isEmpty())
            text += QLatin1Char('\n') + box->informativeText();
    }
    Echo(QStringLiteral("dialog"), text);
    return false;
}

} // namespace corvanetov
