#include <gtest/gtest.h>

#include "diag/Crc16X25.h"
#include "diag/FrameCodec.h"

TEST(Crc16X25, CheckValueOverDigits)
{
    const char* digits = "123456789";
    EXPECT_EQ(0x906E, Crc16X25::Compute(reinterpret_cast<const uint8_t*>(digits), 9));
}
