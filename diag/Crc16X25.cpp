#include "diag/Crc16X25.h"

uint16_t Crc16X25::Update(uint16_t crc, const uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        crc = Update(crc, data[i]);
    return crc;
}
