#include "ports/PortStore.h"

#include "ports/PortConstants.h"
#include "ports/UserSettings.h"

namespace corvanetov {

uint8_t PortStore::LoadPortNumber()
{
    return PortNumberFromText(UserSettings::ReadString(ports::kPortKey, ports::kPortNumberValue));
}

void PortStore::SavePortNumber(uint8_t port)
{
    UserSettings::WriteString(ports::kPortKey, ports::kPortNumberValue, QString::number(port));
}

uint8_t PortStore::PortNumberFromText(QStringView text)
{
    int number = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        number = number * 10 + (c.unicode() - '0');
        // Keeping the low 8 bits of a larger number would pick an unrelated port.
        if (number > ports::kMaxPort)
            return 0;
    }
    return static_cast<uint8_t>(number);
}

} // namespace corvanetov
