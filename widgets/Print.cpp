#include "widgets/Print.h"

#include <QCheckBox>
#include <QShowEvent>

#include <algorithm>
#include <limits>

#include "ui_Print.h"
#include "widgets/SpreadSheet.h"
#include "widgets/WidgetConstants.h"

namespace corvanetov {

namespace {

constexpr int kPageLabelFontSize = 14;
constexpr uint32_t kPageLabelTextColor = 0x000000;
constexpr int kRangeAll = 0;
constexpr int kRangePages = 1;

QString Joined(const QString& line, const QString& addition)
{
    return addition.isEmpty() ? line : line + QLatin1String(WidgetConstants::kPrintLineGap) + addition;
}

} // namespace

CPrint::CPrint(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CPrint>())
    , m_rangeChoice(kRangeAll)
    , m_initialized(false)
{
    m_ui->setupUi(this);
    connect(m_ui->radioAll, &QRadioButton::clicked, this, &CPrint::OnRadioAll);
    connect(m_ui->radioRanges, &QRadioButton::clicked, this, &CPrint::OnRadioRanges);
    connect(m_ui->preview, &CSpreadPreview::PageChanged, this, &CPrint::OnPageChanged);
    connect(m_ui->buttonStartPrint, &QPushButton::clicked, this, &CPrint::OnStartPrint);
}

CPrint::~CPrint() = default;

void CPrint::AttachGrid(CSpreadSheet* grid)
{
    m_grid = grid;
}

void CPrint::SetPageLines(const QString& handsetLine, const QString& toolVersion)
{
    m_handsetLine = handsetLine;
    m_toolVersion = toolVersion;
}

void CPrint::SetSecretRows(const std::vector<int>& rows)
{
    m_secretRows = rows;
    if (m_showSecrets || rows.empty())
        return;
    m_showSecrets = new QCheckBox(QString::fromLatin1(WidgetConstants::kPrintShowSecrets), this);
    m_ui->optionLayout->addWidget(m_showSecrets);
    connect(m_showSecrets, &QCheckBox::toggled, this, [this] {
        ApplyPageLines();
        m_ui->preview->update();
    });
}

QString CPrint::StampLine(const QDateTime& when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::asprintf(WidgetConstants::kPrintStampFormat, WidgetConstants::kPrintStampPrefix, date.year(),
                             date.month(), date.day(), time.hour(), time.minute(), time.second());
}

int16_t CPrint::PageFieldValue(const QString& text)
{
    // Saturates rather than wrapping: a long run of digits is a page past the
    // end, never a negative one.
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit()) {
            break;
        }
        value = std::min(value * 10 + c.digitValue(), int{std::numeric_limits<int16_t>::max()});
    }
    return static_cast<int16_t>(value);
}

void CPrint::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_initialized) {
        m_initialized = true;
        OnInitDialog();
    }
}

void CPrint::OnInitDialog()
{
    ApplyPageLines();
    m_ui->preview->SetGridToPreview(m_grid);
    for (CLabel* label : {m_ui->labelCurrentPage, m_ui->labelTotalPage}) {
        label->SetFontSize(kPageLabelFontSize).SetFontBold(true).SetTextColor(kPageLabelTextColor).SetFontItalic(true);
    }
    const QString current = QString::asprintf("%d", m_ui->preview->GetPageShown());
    m_ui->labelCurrentPage->SetText(current);
    m_ui->editFirstPage->setText(current);
    const QString total = QString::asprintf("%d", m_grid ? m_grid->GetPrintedPageCount() : 0);
    m_ui->labelTotalPage->SetText(total);
    m_ui->editLastPage->setText(total);
    // Selects "All" but leaves the page fields enabled until a radio button
    // is clicked, as the dialog always has.
    m_ui->radioAll->setChecked(m_rangeChoice == kRangeAll);
    m_ui->radioRanges->setChecked(m_rangeChoice == kRangePages);
}

void CPrint::OnRadioAll()
{
    m_ui->editFirstPage->setEnabled(false);
    m_ui->editLastPage->setEnabled(false);
}

void CPrint::OnRadioRanges()
{
    m_ui->editFirstPage->setEnabled(true);
    m_ui->editLastPage->setEnabled(true);
}

void CPrint::OnPageChanged(int page)
{
    m_ui->labelCurrentPage->SetText(QString::asprintf("%d", page));
}

void CPrint::OnStartPrint()
{
    if (!m_grid) {
        return;
    }
    m_rangeChoice = m_ui->radioRanges->isChecked() ? kRangePages : kRangeAll;
    if (m_rangeChoice == kRangePages) {
        m_grid->SetPrintFirstPage(PageFieldValue(m_ui->editFirstPage->text()));
        m_grid->SetPrintLastPage(PageFieldValue(m_ui->editLastPage->text()));
        m_grid->SetPrintRangeKind(WidgetConstants::kPrintRangePages);
    } else {
        m_grid->SetPrintRangeKind(WidgetConstants::kPrintRangeAll);
    }
    ApplyPageLines();
    m_grid->SetAction(WidgetConstants::kActionPrint);
}

void CPrint::ApplyPageLines()
{
    if (!m_grid)
        return;
    m_grid->SetPrintModelLine(Joined(QString::fromLatin1(WidgetConstants::kPrintModelLine), m_handsetLine));
    m_grid->SetPrintStampLine(
        Joined(StampLine(QDateTime::currentDateTime()), m_toolVersion.isEmpty() ? QString() : WidgetConstants::kPrintVersionPrefix + m_toolVersion));
    m_grid->SetPrintMaskedRows(m_showSecrets && m_showSecrets->isChecked() ? std::vector<int>{} : m_secretRows);
}

} // namespace corvanetov
