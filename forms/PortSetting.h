#pragma once

#include <QDialog>
#include <memory>

#include "forms/OperationStateWatch.h"

namespace Ui {
class PortSetting;
}

namespace corvanetov {

// The Port Setting dialog (template 1023): the user picks the COM port, and
// OK opens the channel on it at once, so a wrong choice shows before any
// operation starts. A failure keeps the dialog open for another choice.
// Forget drops the chosen number's device or network link from the port
// table.
class PortSetting : public QDialog {
    Q_OBJECT
public:
    explicit PortSetting(QWidget* parent = nullptr);
    ~PortSetting() override;

    void accept() override;

protected:
    // Shows a failure in a message box with OK; detail tells why, where the
    // channel knows. Tests answer it without a box.
    virtual void ShowMessage(const QString& text, const QString& detail);

private:
    bool OpenChannel(uint8_t port);
    void FollowOperationState();
    // Forget is there for an entry that the port table names something for.
    void FollowChoice();
    void ForgetChoice();

    std::unique_ptr<Ui::PortSetting> m_ui;
    OperationStateWatch m_stateWatch;
};

} // namespace corvanetov
