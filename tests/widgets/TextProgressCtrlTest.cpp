#include <QImage>
#include <QTest>

#include "widgets/TextProgressCtrl.h"

using namespace corvanetov;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

bool Near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 40;
}

int CountNear(const QImage& image, QRect area, QColor color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += Near(image.pixelColor(x, y), color) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class TextProgressCtrlTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CTextProgressCtrl> ShownBar(int width)
    {
        auto bar = std::make_unique<CTextProgressCtrl>();
        QFont font = bar->font();
        font.setPointSize(16);
        font.setBold(true);
        bar->setFont(font);
        bar->resize(width, 40);
        bar->show();
        if (!QTest::qWaitForWindowExposed(bar.get())) {
            qFatal("progress bar never exposed");
        }
        return bar;
    }

    QColor Highlight() const { return QApplication::palette().color(QPalette::Highlight); }
    QColor Base() const { return QApplication::palette().color(QPalette::Base); }

private slots:
    void SetPosBeforeTheWindowExistsStoresNothing()
    {
        CTextProgressCtrl bar;
        QCOMPARE(bar.SetPos(40), -1);
        QCOMPARE(bar.GetPos(), 0);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCOMPARE(bar.SetPos(40), 0);
        QCOMPARE(bar.SetPos(60), 40);
    }

    void BarFillsTheDoneFractionOfTheWidth()
    {
        const auto bar = ShownBar(200);
        bar->SetPos(45);
        QImage image = bar->grab().toImage();
        QVERIFY(Near(image.pixelColor(0, 0), Highlight()));
        QVERIFY(Near(image.pixelColor(89, 0), Highlight()));
        QVERIFY(Near(image.pixelColor(90, 0), Base()));
        QVERIFY(Near(image.pixelColor(199, 39), Base()));

        bar->SetPos(0);
        image = bar->grab().toImage();
        QVERIFY(Near(image.pixelColor(0, 0), Base()));
        bar->SetPos(100);
        image = bar->grab().toImage();
        QVERIFY(Near(image.pixelColor(199, 39), Highlight()));
    }

    // The text takes the inverted colours: window colour over the bar,
    // highlight colour over the rest.
    void TextIsInvertedOverTheBar()
    {
        const auto bar = ShownBar(300);
        bar->SetWindowText("XXXXXXXXXXXXXXXXXX");
        bar->SetPos(50);
        const QImage image = bar->grab().toImage();
        const QRect doneText(100, 5, 45, 30);
        const QRect restText(155, 5, 45, 30);
        QVERIFY(CountNear(image, doneText, Base()) > 20);
        QVERIFY(CountNear(image, restText, Highlight()) > 20);
    }

    void OverrideTextReplacesThePercentageUntilCleared()
    {
        const auto bar = ShownBar(200);
        bar->SetPos(30);
        const QImage percent = bar->grab().toImage();
        bar->SetWindowText("Ready...");
        QCOMPARE(bar->GetWindowText(), QString("Ready..."));
        const QImage ready = bar->grab().toImage();
        QVERIFY(ready != percent);
        bar->SetPos(31);
        bar->SetPos(30);
        QCOMPARE(bar->grab().toImage(), ready);
        bar->SetWindowText(QString());
        QCOMPARE(bar->grab().toImage(), percent);
    }

    void SameBarWidthDoesNotRepaintUntilResized()
    {
        const auto bar = ShownBar(50);
        PaintCounter counter;
        bar->installEventFilter(&counter);
        bar->SetPos(10); // 5 pixels
        QCOMPARE(counter.count, 1);
        bar->SetPos(11); // 5.5 pixels: still 5
        QCOMPARE(counter.count, 1);
        QCOMPARE(bar->GetPos(), 11);
        bar->SetPos(12); // 6 pixels
        QCOMPARE(counter.count, 2);

        bar->resize(60, 40);
        QCoreApplication::processEvents();
        const int afterResize = counter.count;
        bar->SetPos(12);
        QCOMPARE(counter.count, afterResize + 1);
        bar->SetPos(12);
        QCOMPARE(counter.count, afterResize + 1);
    }
};

QTEST_MAIN(TextProgressCtrlTest)
#include "TextProgressCtrlTest.moc"
