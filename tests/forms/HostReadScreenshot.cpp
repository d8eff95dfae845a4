// Takes a picture of the host after a phone information read: the host's
// window with the real plug-in, the simulated handset found on its by-id
// name, "Read General Information" clicked as a user would, and the window
// saved once the read has finished. scripts/screenshot-read runs it under
// Xvfb.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <cstdlib>

#include "ChildProcess.h"
#include "host/HostMainWindow.h"

using namespace corvanetov;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("host-after-read.png");
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("by-id"));
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("CORVANETOV_SERIAL_BY_ID", folder.filePath(QStringLiteral("by-id")).toLocal8Bit());

    ChildProcess handset;
    if (handset.Start({VQXB410_SIM_PATH, "--by-id", folder.filePath(QStringLiteral("by-id")).toStdString()}).empty()) {
        std::fprintf(stderr, "the simulated handset did not start\n");
        return 1;
    }
    HostMainWindow window(0);
    if (!window.LoadPlugin(QStringLiteral(CORVANETOV_MODULE_FILE))) {
        std::fprintf(stderr, "the plug-in did not load\n");
        return 1;
    }
    window.resize(760, 560);
    window.show();
    QTest::qWait(500);
    QPushButton* read = nullptr;
    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Read General Information") && button->isVisible())
            read = button;
    if (!read) {
        std::fprintf(stderr, "no \"Read General Information\" button\n");
        return 1;
    }
    // A message box instead of a result: say what it says and give up.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "the read ended with: %s\n", qPrintable(box->text()));
            std::exit(1);
        }
    });
    watch.start(100);
    QTest::mouseClick(read, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return read->text() == QStringLiteral("Read General Information"); }, 60000)) {
        std::fprintf(stderr, "the read did not finish\n");
        return 1;
    }
    QTest::qWait(300);
    if (!window.grab().save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
