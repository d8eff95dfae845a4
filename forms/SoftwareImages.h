#pragma once

#include <QString>

namespace corvanetov {

// The code and font images a software download starts with, shared by the
// SOFTWARE DOWNLOAD view and the station window so that both offer the same.
struct SoftwareImages {
    QString code; // empty: none found
    QString font;

    // The first image in the software folder, by name, as its name is on
    // disk (and no font); else the files last chosen as the store has them.
    static SoftwareImages Default();
    // The software folder below the current folder.
    static QString Folder();
};

} // namespace corvanetov
