#include "ports/UserSettings.h"

#include <QSettings>
#include <memory>

#include "ports/PortConstants.h"

namespace corvanetov {

namespace {

std::unique_ptr<QSettings> OpenStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, ports::kStoreOrganization,
                                       ports::kStoreApplication);
}

// QSettings separates groups with '/' where a registry key uses '\'.
std::unique_ptr<QSettings> OpenKey(const QString& key)
{
    auto store = OpenStore();
    store->beginGroup(QString(key).replace(QLatin1Char('\\'), QLatin1Char('/')));
    return store;
}

} // namespace

QString UserSettings::ReadString(const QString& key, const QString& valueName)
{
    return OpenKey(key)->value(valueName).toString();
}

bool UserSettings::WriteString(const QString& key, const QString& valueName, const QString& text)
{
    auto store = OpenKey(key);
    store->setValue(valueName, text);
    store->sync();
    return store->status() == QSettings::NoError;
}

QHash<QString, QString> UserSettings::Values(const QString& key)
{
    auto store = OpenKey(key);
    QHash<QString, QString> values;
    for (const QString& name : store->childKeys())
        values.insert(name, store->value(name).toString());
    return values;
}

bool UserSettings::Writable()
{
    auto store = OpenStore();
    return store->status() == QSettings::NoError && store->isWritable();
}

QString UserSettings::FileName()
{
    return OpenStore()->fileName();
}

} // namespace corvanetov
