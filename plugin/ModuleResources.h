#pragma once

#include <QString>

#include "hostlink/PluginAbi.h"

namespace corvanetov {

// The module's string table, menu and toolbar, found by number as the host
// and the module's own dialogs look them up.
class ModuleResources {
public:
    // Null when the table has no such entry.
    static const char* LoadString(int id);
    static const MenuEntry* LoadMenu(int id);
    static const ToolBarResource* LoadToolBar(int id);
    // The About box's lines, each its label, its string and a line feed.
    static QString AboutText();
};

} // namespace corvanetov
