#include <QApplication>
#include <QImage>
#include <QtTest>

#include "widgets/Label.h"

using namespace corvanetov;

class LabelTest : public QObject {
    Q_OBJECT
private slots:
    void TitleChainGivesBoldUprightBlackOnOrange();
    void BoldOffGivesNormalWeightWhateverTheDefault();
    void SettersReturnTheLabelAndKeepTheText();
};

namespace {
constexpr int kTitleHeight = 28;
constexpr uint32_t kOrange = 0x0099FF;
} // namespace

void LabelTest::TitleChainGivesBoldUprightBlackOnOrange()
{
    CLabel label;
    label.setText(QStringLiteral("PHONE  INFO"));
    label.resize(300, 48);
    label.show();
    label.SetFontSize(kTitleHeight).SetFontBold(true).SetTextColor(0).SetBkColor(kOrange).SetFontItalic(false);

    QCOMPARE(label.font().pixelSize(), kTitleHeight);
    QCOMPARE(label.font().weight(), QFont::Bold);
    QVERIFY(!label.font().italic());
    QCOMPARE(label.TextColor(), 0u);
    QCOMPARE(label.BkColor(), QColor(255, 153, 0));

    // On screen: the background is orange and some of the text is black.
    const QImage image = label.grab().toImage();
    QCOMPARE(image.pixelColor(1, 1), QColor(255, 153, 0));
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += image.pixelColor(x, y).lightness() < 60;
    QVERIFY2(dark > 20, "no text drawn");
}

void LabelTest::BoldOffGivesNormalWeightWhateverTheDefault()
{
    const QFont original = QApplication::font();
    QFont heavy = original;
    heavy.setWeight(QFont::Black);
    QApplication::setFont(heavy);
    CLabel label;
    QApplication::setFont(original);

    QCOMPARE(label.font().weight(), QFont::Black);
    label.SetFontBold(true).SetFontBold(false);
    QCOMPARE(label.font().weight(), QFont::Normal);
    label.SetFontItalic(true);
    QVERIFY(label.font().italic());
    QCOMPARE(label.font().weight(), QFont::Normal);
}

void LabelTest::SettersReturnTheLabelAndKeepTheText()
{
    CLabel label;
    CLabel& styled = label.SetText(QStringLiteral("Nam1")).SetFontSize(15).SetTextColor(0x800000);
    QCOMPARE(&styled, &label);
    QCOMPARE(label.text(), QStringLiteral("Nam1"));
    QCOMPARE(label.font().pixelSize(), 15);
    // 0x00BBGGRR: 0x800000 is a dark blue.
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
}

QTEST_MAIN(LabelTest)
#include "LabelTest.moc"
