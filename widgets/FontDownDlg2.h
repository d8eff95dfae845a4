#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

namespace Ui {
class CFontDownDlg2;
}

namespace corvanetov {

// Asks for the flash start address of a font image, as hexadecimal text
// without its "0x": one to eight hexadecimal digits, nothing else. It offers
// the caller's default until the user confirms another.
class CFontDownDlg2 : public QDialog {
    Q_OBJECT
public:
    explicit CFontDownDlg2(uint32_t defaultAddress, QWidget* parent = nullptr);
    ~CFontDownDlg2() override;

    QString StartAddressText() const { return m_startAddress; }
    // The text read as the caller reads it: "0X" in front, hexadecimal,
    // leading hex digits only (none gives 0).
    static uint32_t ToStartAddress(const QString& text);

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::CFontDownDlg2> m_ui;
    QString m_startAddress;
};

} // namespace corvanetov
