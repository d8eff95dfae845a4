#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ModalAnswerer.h"
#include "diag/DiagConstants.h"
#include "engine/EngineConstants.h"
#include "plugin/ModuleResources.h"
#include "widgets/DllAbout.h"
#include "widgets/FontDownDlg2.h"
#include "widgets/Label.h"
#include "widgets/Msl.h"

using namespace corvanetov;

class SmallDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void MslFieldTakesOnlySixDigits();
    void MslOkWithFiveDigitsKeepsTheDialogOpen();
    void MslOkIsEnabledOnlyForSixDigits_data();
    void MslOkIsEnabledOnlyForSixDigits();
    void MslOpensEmptyEveryTime();
    void MslHasNoCloseBox();
    void FontAddressDefaultsToTwoEZeroZeroZeroZeroZero();
    void FontAddressEditedAndCancelled();
    void FontAddressReadAsHexadecimal();
    void FontAddressFieldTakesHexDigitsOnly_data();
    void FontAddressFieldTakesHexDigitsOnly();
    void AboutTextHasFiveLinesFromTheStringTable();
    void AboutBoxShowsTheTextInItsStyleWithThePicture();
};

namespace {
constexpr int kMslLength = static_cast<int>(diag::kMslLength);

QLineEdit* Edit(QWidget* dialog)
{
    return dialog->findChild<QLineEdit*>();
}

QPushButton* Button(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    return dialog->findChild<QDialogButtonBox*>()->button(which);
}

void Click(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(Button(dialog, which), Qt::LeftButton);
}

// Types into the dialog's field as a user would, then presses Enter: the
// dialog takes the text only when its OK is enabled.
struct TypedAnswer {
    QString shown;
    bool okEnabled;
    bool accepted;
};

TypedAnswer TypeAndPressEnter(QDialog& dialog, const QString& keys)
{
    dialog.show();
    QLineEdit* edit = Edit(&dialog);
    edit->clear();
    QTest::keyClicks(edit, keys);
    TypedAnswer answer{edit->text(), Button(&dialog, QDialogButtonBox::Ok)->isEnabled(), false};
    QTest::keyClick(edit, Qt::Key_Return);
    answer.accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
    return answer;
}

} // namespace

void SmallDialogsTest::initTestCase()
{
    Q_INIT_RESOURCE(CorvanetovArtwork);
}

void SmallDialogsTest::MslFieldTakesOnlySixDigits()
{
    CMsl dialog(kMslLength);
    dialog.show();
    QLineEdit* edit = Edit(&dialog);
    QTest::keyClicks(edit, QStringLiteral("12ab3-4 5"));
    QCOMPARE(edit->text(), QStringLiteral("12345"));
    QTest::keyClicks(edit, QStringLiteral("67"));
    QCOMPARE(edit->text(), QStringLiteral("123456"));
    QCOMPARE(edit->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

void SmallDialogsTest::MslOkWithFiveDigitsKeepsTheDialogOpen()
{
    CMsl dialog(kMslLength);
    bool openAfterFive = false;
    ModalAnswerer answerer([&](QWidget* open) {
        QTest::keyClicks(Edit(open), QStringLiteral("12345"));
        Click(open, QDialogButtonBox::Ok);
        openAfterFive = open->isVisible();
        QTest::keyClicks(Edit(open), QStringLiteral("6"));
        Click(open, QDialogButtonBox::Ok);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!answerer.TimedOut());
    QVERIFY(openAfterFive);
    QCOMPARE(dialog.Code(), QStringLiteral("123456"));
}

void SmallDialogsTest::MslOkIsEnabledOnlyForSixDigits_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("okEnabled");
    QTest::newRow("nothing") << "" << "" << false;
    QTest::newRow("five digits") << "12345" << "12345" << false;
    QTest::newRow("six digits") << "123456" << "123456" << true;
    QTest::newRow("letters refused") << "12a45b6" << "12456" << false;
    QTest::newRow("seventh digit refused") << "1234567" << "123456" << true;
    QTest::newRow("blank and sign refused") << " 12-3456" << "123456" << true;
}

void SmallDialogsTest::MslOkIsEnabledOnlyForSixDigits()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(bool, okEnabled);
    CMsl dialog(kMslLength);
    QVERIFY(!Button(&dialog, QDialogButtonBox::Ok)->isEnabled());
    const TypedAnswer answer = TypeAndPressEnter(dialog, keys);
    QCOMPARE(answer.shown, shown);
    QCOMPARE(answer.okEnabled, okEnabled);
    QCOMPARE(answer.accepted, okEnabled);
    QCOMPARE(dialog.Code(), okEnabled ? shown : QString());
}

void SmallDialogsTest::MslOpensEmptyEveryTime()
{
    CMsl dialog(kMslLength);
    dialog.show();
    QTest::keyClicks(Edit(&dialog), QStringLiteral("987"));
    dialog.reject();
    QString seen = QStringLiteral("unset");
    bool focused = false;
    ModalAnswerer answerer([&](QWidget* open) {
        seen = Edit(open)->text();
        focused = open->focusWidget() == Edit(open);
        Click(open, QDialogButtonBox::Cancel);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!answerer.TimedOut());
    QCOMPARE(seen, QString());
    QVERIFY(focused);
    QCOMPARE(dialog.Code(), QString());
}

void SmallDialogsTest::MslHasNoCloseBox()
{
    CMsl dialog(kMslLength);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Input MSL Code"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowSystemMenuHint));
    QCOMPARE(dialog.font().pointSize(), 18);
}

void SmallDialogsTest::FontAddressDefaultsToTwoEZeroZeroZeroZeroZero()
{
    CFontDownDlg2 dialog(engine::kDefaultFontStartAddress);
    QString shown;
    ModalAnswerer answerer([&](QWidget* open) {
        shown = Edit(open)->text();
        Click(open, QDialogButtonBox::Ok);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!answerer.TimedOut());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("FONT DOWNLOAD"));
    QCOMPARE(shown, QStringLiteral("2E00000"));
    QCOMPARE(dialog.StartAddressText(), QStringLiteral("2E00000"));
    QCOMPARE(CFontDownDlg2::ToStartAddress(dialog.StartAddressText()), 0x2E00000u);
}

void SmallDialogsTest::FontAddressEditedAndCancelled()
{
    CFontDownDlg2 dialog(engine::kDefaultFontStartAddress);
    ModalAnswerer typed([&](QWidget* open) {
        QLineEdit* edit = Edit(open);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("123456789"));
        Click(open, QDialogButtonBox::Ok);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.StartAddressText(), QStringLiteral("12345678"));

    // Reopened, it shows the last confirmed text; Cancel keeps it.
    QString shown;
    ModalAnswerer cancelled([&](QWidget* open) {
        shown = Edit(open)->text();
        Edit(open)->setText(QStringLiteral("FF"));
        Click(open, QDialogButtonBox::Cancel);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!typed.TimedOut() && !cancelled.TimedOut());
    QCOMPARE(shown, QStringLiteral("12345678"));
    QCOMPARE(dialog.StartAddressText(), QStringLiteral("12345678"));
}

void SmallDialogsTest::FontAddressReadAsHexadecimal()
{
    QCOMPARE(CFontDownDlg2::ToStartAddress(QStringLiteral("1f")), 0x1Fu);
    QCOMPARE(CFontDownDlg2::ToStartAddress(QStringLiteral("FFFFFFFF")), 0xFFFFFFFFu);
    // Only the leading hex digits count, none gives 0.
    QCOMPARE(CFontDownDlg2::ToStartAddress(QStringLiteral("12G4")), 0x12u);
    QCOMPARE(CFontDownDlg2::ToStartAddress(QStringLiteral("XYZ")), 0u);
    QCOMPARE(CFontDownDlg2::ToStartAddress(QString()), 0u);
}

void SmallDialogsTest::FontAddressFieldTakesHexDigitsOnly_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<uint>("address");
    QTest::newRow("letter O for zero") << "2E0000O0" << "2E00000" << true << 0x2E00000u;
    QTest::newRow("no hex digit") << "ZZ" << "" << false << 0u;
    QTest::newRow("lower case") << "1f" << "1f" << true << 0x1Fu;
    QTest::newRow("prefix typed") << "0x1F" << "01F" << true << 0x1Fu;
    QTest::newRow("ninth digit refused") << "123456789" << "12345678" << true << 0x12345678u;
    QTest::newRow("blanks refused") << " 2E 0000 " << "2E0000" << true << 0x2E0000u;
    QTest::newRow("empty") << "" << "" << false << 0u;
}

void SmallDialogsTest::FontAddressFieldTakesHexDigitsOnly()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(bool, okEnabled);
    QFETCH(uint, address);
    CFontDownDlg2 dialog(engine::kDefaultFontStartAddress);
    const TypedAnswer answer = TypeAndPressEnter(dialog, keys);
    QCOMPARE(answer.shown, shown);
    QCOMPARE(answer.okEnabled, okEnabled);
    QCOMPARE(answer.accepted, okEnabled);
    // A refused answer leaves the last confirmed address.
    const QString confirmed = okEnabled ? shown : QStringLiteral("2E00000");
    QCOMPARE(dialog.StartAddressText(), confirmed);
    if (okEnabled)
        QCOMPARE(CFontDownDlg2::ToStartAddress(dialog.StartAddressText()), address);
}

void SmallDialogsTest::AboutTextHasFiveLinesFromTheStringTable()
{
    QCOMPARE(ModuleResources::AboutText(),
             QStringLiteral("Model    : VQX-B410\n"
                            "Carrier  : China(Unicom)\n"
                            "HS Type     : DBDM\n"
                            "Version  : 1.0.003\n"
                            "Modified : 2006-06-20\n"));
}

void SmallDialogsTest::AboutBoxShowsTheTextInItsStyleWithThePicture()
{
    const QString text = QStringLiteral("Model    : VQX-B410\nCarrier  : China(Unicom)\n");
    CDllAbout dialog(text);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About CorvaneTOV"));
    QCOMPARE(dialog.InfoText(), text);
    auto* info = dialog.findChild<CLabel*>();
    QVERIFY(info);
    QCOMPARE(info->font().pixelSize(), 14);
    QCOMPARE(info->font().weight(), QFont::Bold);
    QVERIFY(info->font().italic());
    QCOMPARE(info->TextColor(), 0x500000u);
    bool hasPicture = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        hasPicture |= label != info && !label->pixmap().isNull();
    QVERIFY(hasPicture);

    ModalAnswerer answerer([](QWidget* open) { Click(open, QDialogButtonBox::Ok); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!answerer.TimedOut());
}

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
