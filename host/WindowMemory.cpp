#include "host/WindowMemory.h"

#include <QFile>
#include <QSettings>
#include <QTabWidget>
#include <memory>

#include "host/HostConstants.h"
#include "host/HostMainWindow.h"
#include "platform/FileSave.h"

namespace corvanetov {

namespace {

std::unique_ptr<QSettings> OpenKey()
{
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QString::fromLatin1(HostConstants::kSettingsOrganization),
                                             QString::fromLatin1(HostConstants::kApplicationName));
    store->beginGroup(QString::fromLatin1(HostConstants::kSettingsGroup));
    return store;
}

} // namespace

void WindowMemory::Restore(HostMainWindow& window)
{
    auto store = OpenKey();
    if (!window.restoreGeometry(store->value(HostConstants::kGeometryValue).toByteArray()))
        window.resize(HostConstants::kWindowWidth, HostConstants::kWindowHeight);
    // By its title: the plug-ins, and with them the tabs' order, may differ
    // from the last run.
    const QString lastTab = store->value(HostConstants::kLastTabValue).toString();
    QTabWidget& tabs = window.Tabs();
    for (int index = 0; index < tabs.count(); ++index) {
        if (tabs.tabText(index) == lastTab)
            tabs.setCurrentIndex(index);
    }
}

void WindowMemory::Save(const HostMainWindow& window)
{
    auto store = OpenKey();
    // The file the plug-ins' settings share, which may name a shop's server
    // with its password.
    FileSave::MakePrivate(QFile::encodeName(store->fileName()).toStdString());
    store->setValue(HostConstants::kGeometryValue, window.saveGeometry());
    const QTabWidget& tabs = window.Tabs();
    store->setValue(HostConstants::kLastTabValue, tabs.tabText(tabs.currentIndex()));
}

} // namespace corvanetov
