#include "forms/StationJobChoice.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "forms/SoftwareImages.h"

namespace corvanetov {

namespace {
constexpr const char* kJobNames[StationJobChoice::JobCount] = {
    "Phone information", "Write settings", "Software download", "PRL download", "ERI download", "Rebuild",
    // The images come from each handset's unfinished flash record.
    "Recover"};
constexpr char kSettingsFilter[] = "Settings files (*.mmc);;All files (*)";
constexpr char kImageFilter[] = "Images (*.bin);;All files (*)";
constexpr char kPrlFilter[] = "PRL files (*.prl);;All files (*)";
constexpr char kBrowse[] = "...";
} // namespace

StationJobChoice::StationJobChoice(QWidget* parent) : QWidget(parent), m_form(new QFormLayout(this))
{
    m_job = new QComboBox(this);
    m_job->setObjectName(QStringLiteral("job"));
    for (const char* name : kJobNames)
        m_job->addItem(QString::fromLatin1(name));
    m_form->addRow(tr("&Job"), m_job);
    m_option = new QComboBox(this);
    m_option->setObjectName(QStringLiteral("option"));
    for (const char* name : engine::kDownloadOptionNames)
        m_option->addItem(QString::fromLatin1(name));
    m_form->addRow(tr("&Option"), m_option);
    m_settings = AddFile(tr("Settings file"), kSettingsFilter, "settings");
    m_code = AddFile(tr("Code image"), kImageFilter, "code");
    m_font = AddFile(tr("Font image"), kImageFilter, "font");
    const SoftwareImages images = SoftwareImages::Default();
    m_code->setText(images.code);
    m_font->setText(images.font);
    m_fontAddress = new QLineEdit(QString::number(engine::kDefaultFontStartAddress, 16).toUpper(), this);
    m_form->addRow(tr("Font address (hex)"), m_fontAddress);
    m_nam1 = AddFile(tr("NAM1 file"), kPrlFilter, "nam1");
    m_nam2 = AddFile(tr("NAM2 file"), kPrlFilter, "nam2");
    connect(m_job, &QComboBox::currentIndexChanged, this, &StationJobChoice::ShowRows);
    connect(m_option, &QComboBox::currentIndexChanged, this, &StationJobChoice::ShowRows);
    ShowRows();
}

QLineEdit* StationJobChoice::AddFile(const QString& label, const char* filter, const char* name)
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* path = new QLineEdit(row);
    path->setObjectName(QLatin1String(name));
    auto* browse = new QPushButton(QString::fromLatin1(kBrowse), row);
    layout->addWidget(path);
    layout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this, path, label, filter] {
        QString chosen = QFileDialog::getOpenFileName(this, label, path->text(), QString::fromLatin1(filter));
        if (!chosen.isEmpty())
            path->setText(chosen);
    });
    m_form->addRow(label, row);
    return path;
}

bool StationJobChoice::OptionHasCode() const
{
    return DownloadOption::Of(m_option->currentIndex())->code;
}

bool StationJobChoice::OptionHasFont() const
{
    return DownloadOption::Of(m_option->currentIndex())->font;
}

void StationJobChoice::ShowRows()
{
    const int job = m_job->currentIndex();
    const bool download = job == Download;
    m_form->setRowVisible(m_option, download);
    m_form->setRowVisible(m_settings->parentWidget(), job == WriteSettings);
    m_form->setRowVisible(m_code->parentWidget(), download && OptionHasCode());
    m_form->setRowVisible(m_font->parentWidget(), download && OptionHasFont());
    m_form->setRowVisible(m_fontAddress, download && OptionHasFont());
    m_form->setRowVisible(m_nam1->parentWidget(), job == Prl || job == Eri);
    m_form->setRowVisible(m_nam2->parentWidget(), job == Prl || job == Eri);
}

void StationJobChoice::SetJob(Job job)
{
    m_job->setCurrentIndex(job);
}

bool StationJobChoice::NeedsCode() const
{
    return m_job->currentIndex() != PhoneInfo;
}

QStringList StationJobChoice::Arguments(QString& missing) const
{
    QStringList words = Words(missing);
    return missing.isEmpty() ? words : QStringList();
}

QStringList StationJobChoice::Words(QString& missing) const
{
    auto need = [&missing](const QLineEdit* field, const QString& what) {
        if (field->text().isEmpty())
            missing = what;
        return field->text();
    };
    switch (m_job->currentIndex()) {
    case PhoneInfo:
        return {QStringLiteral("info")};
    case WriteSettings:
        return {QStringLiteral("settings"), QStringLiteral("write"), need(m_settings, tr("a settings file"))};
    case Download: {
        QStringList words = {QStringLiteral("flash"), QStringLiteral("--option"), QString::number(m_option->currentIndex())};
        if (OptionHasCode())
            words << QStringLiteral("--code") << need(m_code, tr("a code image"));
        if (OptionHasFont())
            words << QStringLiteral("--font") << need(m_font, tr("a font image")) << QStringLiteral("--font-address")
                  << need(m_fontAddress, tr("the font address"));
        return words;
    }
    case Prl:
    case Eri: {
        QStringList words = {m_job->currentIndex() == Prl ? QStringLiteral("prl") : QStringLiteral("eri")};
        if (!m_nam1->text().isEmpty())
            words << QStringLiteral("--nam1") << m_nam1->text();
        if (!m_nam2->text().isEmpty())
            words << QStringLiteral("--nam2") << m_nam2->text();
        if (words.size() == 1)
            missing = tr("a file for NAM1 or NAM2");
        return words;
    }
    case Recover:
        return {QStringLiteral("recover")};
    default:
        return {QStringLiteral("rebuild")};
    }
}

} // namespace corvanetov
