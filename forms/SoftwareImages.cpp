#include "forms/SoftwareImages.h"

#include <QDir>

#include "forms/SwDownloadConstants.h"
#include "ports/UserSettings.h"

namespace corvanetov {

namespace sw = SwDownloadConstants;

QString SoftwareImages::Folder()
{
    return QDir::current().filePath(QLatin1String(sw::kSoftwareFolder));
}

SoftwareImages SoftwareImages::Default()
{
    const QStringList found = QDir(Folder()).entryList({QLatin1String(sw::kImagePattern)}, QDir::Files, QDir::Name);
    if (!found.isEmpty())
        return {QDir(Folder()).absoluteFilePath(found.first()), {}};
    const QString key = QLatin1String(sw::kReadKey);
    const QString code = UserSettings::ReadString(key, QLatin1String(sw::kSoftwareValue));
    if (code.isEmpty())
        return {};
    return {code, UserSettings::ReadString(key, QLatin1String(sw::kFontValue))};
}

} // namespace corvanetov
