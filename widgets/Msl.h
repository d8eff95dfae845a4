#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CMsl;
}

namespace corvanetov {

// Asks for the handset's MSL code of codeLength digits. The field takes
// digits only and OK is enabled only when all are typed; a code of the wrong
// length is refused silently: the dialog stays open until the user corrects
// it or cancels.
class CMsl : public QDialog {
    Q_OBJECT
public:
    explicit CMsl(int codeLength, QWidget* parent = nullptr);
    ~CMsl() override;

    // The entered code, valid after OK.
    QString Code() const { return m_code; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::CMsl> m_ui;
    const int m_codeLength;
    QString m_code;
};

} // namespace corvanetov
