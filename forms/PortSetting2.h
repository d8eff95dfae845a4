#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class PortSetting2;
}

namespace corvanetov {

// The Port Setting dialog for rebuild (template 1049): the user picks the
// UART port; OK only sets the selected port, the rebuild opens it itself.
class PortSetting2 : public QDialog {
    Q_OBJECT
public:
    explicit PortSetting2(QWidget* parent = nullptr);
    ~PortSetting2() override;

    void accept() override;

private:
    std::unique_ptr<Ui::PortSetting2> m_ui;
};

} // namespace corvanetov
