#include <QFile>

#include "FreshStore.h"
#include "ports/PortStore.h"

using namespace corvanetov;

namespace {

void StorePortText(const QString& text)
{
    ASSERT_TRUE(UserSettings::WriteString(ports::kPortKey, ports::kPortNumberValue, text));
}

uint8_t Loaded()
{
    return PortStore::LoadPortNumber();
}

} // namespace

using PortStoreTest = FreshStore;

TEST_F(PortStoreTest, MissingValueLoadsAsNone)
{
    EXPECT_EQ(Loaded(), 0);
    StorePortText("");
    EXPECT_EQ(Loaded(), 0);
}

TEST_F(PortStoreTest, TextIsReadAsDecimalDigits)
{
    StorePortText("12");
    EXPECT_EQ(Loaded(), 12);
    StorePortText("007");
    EXPECT_EQ(Loaded(), 7);
    StorePortText("255");
    EXPECT_EQ(Loaded(), 255);
}

TEST_F(PortStoreTest, TextThatNamesNoPortLoadsAsNone)
{
    for (const char* text : {"COM5", "-3", " 4", "4 ", "7zz", "7 (handset)", "256", "300", "99999999999999999999"}) {
        StorePortText(text);
        EXPECT_EQ(Loaded(), 0) << text;
    }
}

TEST_F(PortStoreTest, SaveStoresDecimalTextThatLoadsBack)
{
    PortStore::SavePortNumber(0);
    EXPECT_EQ(UserSettings::ReadString(ports::kPortKey, ports::kPortNumberValue), "0");
    EXPECT_EQ(Loaded(), 0);

    PortStore::SavePortNumber(201);
    EXPECT_EQ(UserSettings::ReadString(ports::kPortKey, ports::kPortNumberValue), "201");
    EXPECT_EQ(Loaded(), 201);
}

TEST_F(PortStoreTest, KeyAndValueNamesReachTheFile)
{
    PortStore::SavePortNumber(9);
    QFile file(UserSettings::FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("[Software]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nCorvaneTOV\\Corvane_VQX%20B410%20Verizon\\Port%20Number=9\n")) << text.toStdString();
}
