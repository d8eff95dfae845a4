#pragma once

#include <QString>

namespace corvanetov {

// The SQLite file on disk: made private to its user before the database
// opens it (it holds lock codes), and moved aside, never deleted, when it
// cannot be read as ours.
class SqliteFile {
public:
    // Creates the folder (0700) and an empty file (0600) where none is;
    // empty when done, else why not.
    static QString Prepare(const QString& path);
    // Renames the file and its journal files to "<path>.unreadable-<time>";
    // returns the new name of the file.
    static QString MoveAside(const QString& path);
};

} // namespace corvanetov
