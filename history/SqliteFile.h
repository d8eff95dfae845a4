#pragma once

#include <QString>

namespace corvanetov {

// The SQLite file on disk: made private to its user before the database
// opens it (it holds lock codes), and moved aside, never deleted, when it
// is ours and cannot be read.
class SqliteFile {
public:
    // What the first bytes of the file say about whose it is.
    enum class Owner {
        New,      // empty: ours to make
        Ours,     // carries our mark, even with the rest of its header damaged
        Unmarked, // an SQLite database without a mark: made by an older tool, or another program's
        Foreign,  // another program's mark, or no SQLite database at all
    };
    // The mark the tool puts in its files' header (SQLite's application_id).
    static constexpr quint32 kApplicationId = 0x43547631;

    // Creates the folder (0700) and an empty file (0600) where none is, and
    // tells whose the file is, without blocking: anything but a regular
    // file (a pipe, a device) is refused. Empty why when done.
    static Owner Prepare(const QString& path, QString* why);
    // Renames the file and its journal files to "<path>.unreadable-<time>";
    // returns the new name of the file.
    static QString MoveAside(const QString& path);
};

} // namespace corvanetov
