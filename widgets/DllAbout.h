#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class CDllAbout;
}

// The plug-in's About box: its picture and the identification lines built
// from the module's string table.
class CDllAbout : public QDialog {
    Q_OBJECT
public:
    // Finds a string of the module's string table by number.
    using StringLookup = std::function<QString(int)>;

    explicit CDllAbout(StringLookup loadString, QWidget* parent = nullptr);
    ~CDllAbout() override;

    // Five lines, each its label, its string and a line feed.
    static QString AboutText(const StringLookup& loadString);
    QString InfoText() const;

private:
    std::unique_ptr<Ui::CDllAbout> m_ui;
};
