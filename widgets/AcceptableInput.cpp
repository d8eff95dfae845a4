#include "widgets/AcceptableInput.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace corvanetov {

void AcceptableInput::Restrict(QLineEdit& field, const QString& pattern, QDialogButtonBox& buttons)
{
    field.setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), &field));
    QPushButton* ok = buttons.button(QDialogButtonBox::Ok);
    auto follow = [&field, ok] { ok->setEnabled(field.hasAcceptableInput()); };
    QObject::connect(&field, &QLineEdit::textChanged, ok, follow);
    follow();
}

} // namespace corvanetov
