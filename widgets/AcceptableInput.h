#pragma once

#include <QString>

class QDialogButtonBox;
class QLineEdit;

namespace corvanetov {

// The one field of a small dialog: it takes only what its pattern allows
// while the user types, and the dialog's OK is enabled only while the field
// holds a whole answer, so a half-typed code or address never reaches the
// handset.
class AcceptableInput {
public:
    // pattern: a regular expression for the whole answer; a beginning of it
    // may be typed, anything else is refused key by key.
    static void Restrict(QLineEdit& field, const QString& pattern, QDialogButtonBox& buttons);
};

} // namespace corvanetov
