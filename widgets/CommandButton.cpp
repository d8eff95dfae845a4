#include "widgets/CommandButton.h"

namespace corvanetov {

CCommandButton::CCommandButton(QWidget* parent)
    : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &CCommandButton::Click);
}

} // namespace corvanetov
