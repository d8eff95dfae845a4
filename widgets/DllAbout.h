#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CDllAbout;
}

namespace corvanetov {

// The plug-in's About box: its picture and the module's identification
// lines, in the box's own style.
class CDllAbout : public QDialog {
    Q_OBJECT
public:
    explicit CDllAbout(const QString& infoText, QWidget* parent = nullptr);
    ~CDllAbout() override;

    QString InfoText() const;

private:
    std::unique_ptr<Ui::CDllAbout> m_ui;
};

} // namespace corvanetov
