#include "plugin/ModuleResources.h"

#include <iterator>

#include "plugin/ModuleConstants.h"

namespace corvanetov {

namespace {

using namespace ModuleConstants;
using PluginAbi::kCommandPrint;
using PluginAbi::kCommandToolBar;

struct StringEntry {
    int id;
    const char* text;
};

// A command's string is its status bar prompt, then after a line feed its
// tooltip.
constexpr StringEntry kStrings[] = {
    {kStringModel, "VQX-B410"},
    {kStringCarrier, "China(Unicom)"},
    {kStringHsType, "DBDM"},
    {kStringVersion, "1.0.003"},
    {kStringDate, "2006-06-20"},
    {kStringEdition, "Full"},
    {kCommandCloseButton, "CLOSE\nClose"},
    {kCommandPortSetting, "COM Port Setting\nCom Port"},
    {kCommandAbout, "Help\nHelp"},
    {kCommandStation, "Serve every handset plugged in at once\nStation"},
    {kCommandServiceHistory, "Every job on every handset: list, export, undo a settings write\nService history"},
    {static_cast<int>(kCommandPrint), "Print the active document\nPrint"},
};

// "&" marks the letter that picks the entry from the keyboard.
constexpr MenuEntry kMenu2000[] = {
    {0, 0, "&File"},
    {1, kCommandPrint, "&Print"},
    {1, kCommandClose, "&Close"},
    {0, 0, "&View"},
    {1, kCommandToolBar, "&Tool bar"},
    {1, kCommandServiceHistory, "Service &history"},
    {0, 0, "&Setup"},
    {1, kCommandPortSetting, "&Port Setting"},
    {1, kCommandStation, "&Station"},
    {0, 0, "&Help"},
    {1, kCommandAbout, "&About CorvaneTOV"},
    {-1, 0, nullptr},
};

constexpr unsigned kToolBar2000Commands[] = {
    kCommandPrint, kCommandPortSetting, 0, kCommandAbout, 0, kCommandCloseButton, 0, kCommandStation,
};

constexpr ToolBarResource kToolBar2000 = {
    kToolButtonWidth,
    kToolButtonHeight,
    static_cast<int>(std::size(kToolBar2000Commands)),
    kToolBar2000Commands,
    kToolBarBitmapPath,
};

} // namespace

const char* ModuleResources::LoadString(int id)
{
    for (const auto& entry : kStrings) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}

const MenuEntry* ModuleResources::LoadMenu(int id)
{
    return id == PluginAbi::kMenuResource ? kMenu2000 : nullptr;
}

const ToolBarResource* ModuleResources::LoadToolBar(int id)
{
    return id == PluginAbi::kToolBarResource ? &kToolBar2000 : nullptr;
}

QString ModuleResources::AboutText()
{
    QString text;
    for (const auto& line : kAboutLines)
        text += QString::fromLatin1(line.label) + QString::fromLatin1(LoadString(line.stringId)) + QLatin1Char('\n');
    return text;
}

} // namespace corvanetov
