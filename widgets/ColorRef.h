#pragma once

#include <QColor>
#include <cstdint>

namespace corvanetov {

// Colours reach the widgets as 32-bit values laid out 0x00BBGGRR (red in the
// low byte), the way the forms name them; Qt wants red first.
QColor ColorFromColorRef(uint32_t colorRef);
uint32_t ColorRefFromColor(const QColor& color);

} // namespace corvanetov
