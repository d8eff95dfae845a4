#include "widgets/ColorRef.h"

namespace corvanetov {

QColor ColorFromColorRef(uint32_t colorRef)
{
    return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

uint32_t ColorRefFromColor(const QColor& color)
{
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8
        | static_cast<uint32_t>(color.blue()) << 16;
}

} // namespace corvanetov
