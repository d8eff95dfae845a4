#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>

namespace corvanetov {

// Pages in a PDF file: its page objects, "/Type /Page" but not "/Pages".
inline int PdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QString content = QString::fromLatin1(file.readAll());
    return static_cast<int>(content.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"))));
}

} // namespace corvanetov
