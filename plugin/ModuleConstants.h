#pragma once

#include <cstdint>

#include "hostlink/PluginAbi.h"

namespace corvanetov {

// Numbers and texts of the VQX-B410 module's boundary with its host.
namespace ModuleConstants {

constexpr const char* kInitializingTrace = "CORVANETOV_VQXB410.DLL Initializing!\n";
constexpr const char* kTerminatingTrace = "CORVANETOV_VQXB410.DLL Terminating!\n";

// Views offered to the host.
constexpr int kFormCount = 3;

// Commands of menu and toolbar 2000.
constexpr int kCommandClose = 2010;
constexpr int kCommandCloseButton = 2030;
constexpr int kCommandPortSetting = 2040;
constexpr int kCommandAbout = 2050;
// The station window: many handsets at once.
constexpr int kCommandStation = 2060;
constexpr int kCommandServiceHistory = 2070;

// String table: identification of the plug-in.
constexpr int kStringModel = PluginAbi::kStringModelName;
constexpr int kStringCarrier = 101;
constexpr int kStringHsType = 102;
constexpr int kStringVersion = 103;
constexpr int kStringDate = 104;
constexpr int kStringEdition = 105;

// The About box's identification lines: a label, then the string.
struct AboutLine {
    int stringId;
    const char* label;
};
constexpr AboutLine kAboutLines[] = {
    {kStringModel, "Model    : "},
    {kStringCarrier, "Carrier  : "},
    {kStringHsType, "HS Type     : "},
    {kStringVersion, "Version  : "},
    {kStringDate, "Modified : "},
};

// Toolbar 2000 buttons.
constexpr int kToolButtonWidth = 16;
constexpr int kToolButtonHeight = 15;
constexpr const char* kToolBarBitmapPath = ":/vqxb410/toolbar2000.png";

} // namespace ModuleConstants

} // namespace corvanetov
