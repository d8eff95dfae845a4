#include "widgets/CommandButton.h"

CCommandButton::CCommandButton(QWidget* parent)
    : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &CCommandButton::Click);
}
