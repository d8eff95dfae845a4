#include "forms/FormView.h"

#include <QLabel>
#include <QMessageBox>

#include "engine/OperationContext.h"
#include "engine/OperationSink.h"
#include "forms/FormConstants.h"
#include "hostlink/HostNotifier.h"
#include "nv/NvDoc.h"
#include "version/Version.h"
#include "widgets/Label.h"
#include "widgets/Print.h"

namespace corvanetov {

CFormView::CFormView(QWidget* parent)
    : QWidget(parent)
{
}

bool CFormView::OnCommand(int)
{
    return false;
}

bool CFormView::AskStop()
{
    return AskStopWith(QString::fromLatin1(FormConstants::kStopQuestion));
}

// No is the default: Enter, pressed for whatever came before, never ends
// an operation.
void CFormView::KeepPlaceWhenHidden(QWidget& widget)
{
    QSizePolicy keepPlace = widget.sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    widget.setSizePolicy(keepPlace);
}

bool CFormView::AskStopWith(const QString& question)
{
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void CFormView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    OnInitialUpdate();
    // A dialog's event loop run from inside the show would deliver events to
    // the window's children while Qt is still walking them to show them, and
    // the window itself would not yet be on screen behind the dialog.
    QMetaObject::invokeMethod(this, [this] { OnFirstShown(); }, Qt::QueuedConnection);
}

void CFormView::StyleTitle(CLabel& title)
{
    title.SetFontSize(FormConstants::kTitleFontSize)
        .SetFontBold(true)
        .SetTextColor(FormConstants::kTitleTextColor)
        .SetBkColor(FormConstants::kTitleBkColor)
        .SetFontItalic(false);
}

void CFormView::StylePath(CLabel& path)
{
    path.SetFontSize(FormConstants::kPathFontSize)
        .SetFontBold(true)
        .SetTextColor(FormConstants::kPathTextColor)
        .SetBkColor(FormConstants::kPathBkColor)
        .SetFontItalic(true)
        .SetElideMiddle(true);
}

void CFormView::ShowLogoForToolType(QLabel& picture)
{
    picture.setVisible(OperationContext::Instance().ToolType() != 0);
}

void CFormView::SendHostLine(int line, const QString& text)
{
    HostNotifier::Instance().Send(line, text.toStdString());
}

std::string CFormView::DocumentText(int which)
{
    NvDoc* doc = OperationContext::Instance().NvDocument();
    return doc ? doc->GetText(which) : std::string();
}

QMessageBox::Icon CFormView::EndIcon(const OperationMessage& end)
{
    return end.outcome == OperationMessage::Outcome::Failed ? QMessageBox::Warning : QMessageBox::Information;
}

void CFormView::ShowPrintDialog(CSpreadSheet& grid, const std::vector<int>& secretRows)
{
    const std::string esn = DocumentText(NvDoc::kEsn);
    CPrint dialog(this);
    dialog.AttachGrid(&grid);
    dialog.SetPageLines(esn.empty() ? QString() : FormConstants::kEsnPrefix + QString::fromStdString(esn), QString::fromLatin1(kVersion));
    dialog.SetSecretRows(secretRows);
    dialog.exec();
}

// An operation that failed before the handset answered leaves no ESN: the
// line keeps the one it shows rather than going blank.
void CFormView::SendEsnLine()
{
    const std::string esn = DocumentText(NvDoc::kEsn);
    if (!esn.empty())
        SendHostLine(PluginAbi::kPhoneLine, FormConstants::kEsnPrefix + QString::fromStdString(esn));
}

} // namespace corvanetov
