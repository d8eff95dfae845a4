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
