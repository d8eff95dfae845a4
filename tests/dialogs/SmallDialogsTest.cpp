#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "plugin/ModuleResources.h"
#include "tests/dialogs/ModalAnswerer.h"
#include "widgets/DllAbout.h"
#include "widgets/FontDownDlg2.h"
#include "widgets/Label.h"
#include "widgets/Msl.h"

class SmallDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void MslFieldTakesOnlySixDigits();
    void MslOkWithFiveDigitsKeepsTheDialogOpen();
    void MslOpensEmptyEveryTime();
    void MslHasNoCloseBox();
    void FontAddressDefaultsToTwoEZeroZeroZeroZeroZero();
    void FontAddressEditedAndCancelled();
    void FontAddressReadAsHexadecimal();
    void AboutTextHasFiveLinesFromTheStringTable();
    void AboutBoxShowsTheTextInItsStyleWithThePicture();
};

namespace {

QLineEdit* Edit(QWidget* dialog)
{
    return dialog->findChild<QLineEdit*>();
}

void Click(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

QString ModuleString(int id)
{
    return QString::fromLatin1(ModuleResources::LoadString(id));
}

} // namespace

void SmallDialogsTest::initTestCase()
{
    Q_INIT_RESOURCE(CorvanetovArtwork);
}

void SmallDialogsTest::MslFieldTakesOnlySixDigits()
{
    CMsl dialog;
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
    CMsl dialog;
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

void SmallDialogsTest::MslOpensEmptyEveryTime()
{
    CMsl dialog;
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
    CMsl dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Input MSL Code"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowSystemMenuHint));
    QCOMPARE(dialog.font().pointSize(), 18);
}

void SmallDialogsTest::FontAddressDefaultsToTwoEZeroZeroZeroZeroZero()
{
    CFontDownDlg2 dialog;
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
    CFontDownDlg2 dialog;
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

void SmallDialogsTest::AboutTextHasFiveLinesFromTheStringTable()
{
    const QString text = CDllAbout::AboutText(&ModuleString);
    QCOMPARE(text,
             QStringLiteral("Model    : VQX-B410\n"
                            "Carrier  : China(Unicom)\n"
                            "HS Type     : DBDM\n"
                            "Version  : 1.0.003\n"
                            "Modified : 2006-06-20\n"));
    // The lines follow the lookup, not fixed texts.
    const QString numbered = CDllAbout::AboutText([](int id) { return QString::number(id); });
    QCOMPARE(numbered.split(QLatin1Char('\n')),
             QStringList({QStringLiteral("Model    : 100"), QStringLiteral("Carrier  : 101"),
                          QStringLiteral("HS Type     : 102"), QStringLiteral("Version  : 103"),
                          QStringLiteral("Modified : 104"), QString()}));
}

void SmallDialogsTest::AboutBoxShowsTheTextInItsStyleWithThePicture()
{
    CDllAbout dialog(&ModuleString);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About CorvaneTOV"));
    QCOMPARE(dialog.InfoText(), CDllAbout::AboutText(&ModuleString));
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
