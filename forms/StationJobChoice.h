#pragma once

#include <QStringList>
#include <QWidget>

class QComboBox;
class QFormLayout;
class QLineEdit;

namespace corvanetov {

// The station window's choice of job: the operation and what it needs, with
// the views' own choices (the download options, settings, code and font
// images, the files of the two NAMs), turned into the job's command line.
class StationJobChoice : public QWidget {
    Q_OBJECT
public:
    enum Job { PhoneInfo, WriteSettings, Download, Prl, Eri, Rebuild, Recover, JobCount };

    explicit StationJobChoice(QWidget* parent = nullptr);

    void SetJob(Job job);
    // The job's words for corvanetov-cli; empty, with what is missing in
    // `missing`, when a file it needs is not chosen.
    QStringList Arguments(QString& missing) const;
    // Whether the job asks for the MSL code (every programming operation).
    bool NeedsCode() const;

private:
    QLineEdit* AddFile(const QString& label, const char* filter, const char* name);
    // The job's words, whatever is missing.
    QStringList Words(QString& missing) const;
    void ShowRows();
    bool OptionHasCode() const;
    bool OptionHasFont() const;

    QFormLayout* m_form;
    QComboBox* m_job;
    QComboBox* m_option;
    QLineEdit* m_settings;
    QLineEdit* m_code;
    QLineEdit* m_font;
    QLineEdit* m_fontAddress;
    QLineEdit* m_nam1;
    QLineEdit* m_nam2;
};

} // namespace corvanetov
