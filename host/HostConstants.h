#pragma once

namespace corvanetov {

// Texts and places of the host service tool.
namespace HostConstants {

constexpr const char* kApplicationName = "corvanetov";
constexpr const char* kWindowTitle = "CorvaneTOV";
// The plug-in folder, relative to the folder of the host's executable, as
// the build lays out the build tree and the installed tree alike
// (../lib/corvanetov/plugins, or the system's library folder under /usr).
constexpr const char* kPluginFolder = CORVANETOV_PLUGIN_FOLDER;
constexpr const char* kPluginPattern = "*.so";
// Names another plug-in folder, as --plugin-dir does (which wins).
constexpr const char* kPluginDirVariable = "CORVANETOV_PLUGIN_DIR";

constexpr const char* kDescription =
    "CorvaneTOV host service tool: loads the handset plug-ins and shows their views.\n"
    "Plug-ins come from the plug-in folder, %1 from the program's folder;\n"
    "%2 or --plugin-dir names another folder; --plugin adds a file.";
constexpr const char* kVersionText = "%1 %2\nPlug-in folder: %3";
constexpr const char* kPluginListed = "%1: %2, %n view(s)";
constexpr const char* kNoPlugins = "No plug-ins in %1";

// The window's memory, in the per-user settings file the plug-ins' store
// uses (CorvaneTOV/corvanetov.ini), under a key of the host's own.
constexpr const char* kSettingsOrganization = "CorvaneTOV";
constexpr const char* kSettingsGroup = "Software/CorvaneTOV/Host";
constexpr const char* kGeometryValue = "Window Geometry";
constexpr const char* kLastTabValue = "Last Tab";

// The window's size on a first run.
constexpr int kWindowWidth = 760;
constexpr int kWindowHeight = 580;

constexpr const char* kReady = "Ready";
// Shown beside the port line while pauses do not run at their real length.
constexpr const char* kTimeScale = "Time scale %1";
constexpr const char* kLoadFailed = "Cannot load plug-in %1: %2";

// Tool types the Options menu offers; the command line takes any 0 to 255.
constexpr int kToolTypeCount = 2;

} // namespace HostConstants

} // namespace corvanetov
