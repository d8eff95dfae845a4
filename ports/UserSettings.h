#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace corvanetov {

// The per-user settings store, in the registry's place: keys named like
// registry keys ("Software\CorvaneTOV\...") holding string values, kept in
// an INI file in the user's configuration folder (XDG_CONFIG_HOME, else
// ~/.config: CorvaneTOV/corvanetov.ini). Safe to use from any thread: each
// call works on its own store object.
class UserSettings {
public:
    // The value's text; empty when the key or the value is missing.
    static QString ReadString(const QString& key, const QString& valueName);
    // Creates the key as needed; false when the store cannot be written or
    // cannot be read as settings (then it is left as it is).
    static bool WriteString(const QString& key, const QString& valueName, const QString& text);
    // Several values, of any keys, in one write of the store (each write
    // waits for the disk).
    struct Value {
        QString key;
        QString name;
        QString text;
    };
    static bool Write(const std::vector<Value>& values);
    // Removes the value; false when the store cannot be written.
    static bool Remove(const QString& key, const QString& valueName);
    // Every value of the key by name, read at once.
    static QHash<QString, QString> Values(const QString& key);
    // Whether the store can be written: false for a file that cannot be
    // read as settings (it would be lost) or that the user may not write.
    static bool Writable();
    // Where the store lives, for messages and tests.
    static QString FileName();
};

} // namespace corvanetov
