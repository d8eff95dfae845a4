#pragma once

// The contract between the host service tool and a handset plug-in. The host
// loads the plug-in with dlopen (QLibrary), resolves the exports below by
// their plain names and never links against the plug-in. Views are QWidgets:
// host and plug-in share one Qt.

#include <cstdint>

class QWidget;

extern "C" {

// Describes a view the host can create without knowing its class.
struct RuntimeClass {
    const char* m_className;
    int m_objectSize;
    // Creates the view without a parent; the host owns it from then on and
    // must delete it before it unloads the plug-in.
    QWidget* (*m_createObject)();
};

// One entry of a menu resource. Depth 0 opens a top-level menu named by the
// text; depth 1 is a command of the last top-level menu (command 0 with a
// null text is a separator). The list ends with depth -1.
struct MenuEntry {
    int m_depth;
    unsigned m_command;
    const char* m_text;
};

// A toolbar resource: the buttons' commands in order (0 is a separator) and
// one image per button, left to right, in a strip held as a Qt resource of
// the plug-in (it is registered while the plug-in is loaded).
struct ToolBarResource {
    int m_buttonWidth;
    int m_buttonHeight;
    int m_count;
    const unsigned* m_commands;
    const char* m_bitmapPath;
};

// Messages a plug-in sends to the host's frame window (the host
// notification message): message number, first parameter and text. Called on
// the plug-in's user-interface thread, which is the host's.
typedef void (*HostMessageCallback)(void* context, unsigned message, int param, const char* text);

// The system's five exports.
typedef int (*GetFormCntFunc)();
typedef const RuntimeClass* (*GetRunTimeClassFunc)(int index);
typedef uint8_t (*SetTovTypeFunc)(uint8_t type);
typedef void (*MainDeviceFunc)();
typedef bool (*SelectedMenuFunc)(int command);

// The module's class registry, as the host's class framework holds it: every
// view class the module registered at load, the offered ones and those it
// builds but does not offer. A record is found by its class name (null for
// a name not registered); the records are listed in the order of
// registration (null past the last).
typedef const RuntimeClass* (*FindRunTimeClassFunc)(const char* className);
typedef const RuntimeClass* (*GetRegisteredClassFunc)(int index);

// The resource lookup by number: null when the plug-in has no such resource.
typedef const char* (*LoadPluginStringFunc)(int id);
typedef const MenuEntry* (*LoadPluginMenuFunc)(int id);
typedef const ToolBarResource* (*LoadPluginToolBarFunc)(int id);
// Registers where the plug-in's host messages go; a null callback stops them.
typedef void (*SetHostMessageCallbackFunc)(HostMessageCallback callback, void* context);
// Before the host's window closes: true when the plug-in lets it. ask: the
// plug-in may ask the user (a running operation's stop question); false
// when the window is already gone or the host was told to end, and the
// plug-in must end what it runs without a question.
typedef bool (*QueryCloseFunc)(bool ask);

} // extern "C"

namespace PluginAbi {

constexpr const char* kGetFormCnt = "GetFormCnt";
constexpr const char* kGetRunTimeClass = "GetRunTimeClass";
constexpr const char* kSetTovType = "SetTovType";
constexpr const char* kMainDevice = "MainDevice";
constexpr const char* kSelectedMenu = "SelectedMenu";
constexpr const char* kFindRunTimeClass = "FindRunTimeClass";
constexpr const char* kGetRegisteredClass = "GetRegisteredClass";
constexpr const char* kLoadPluginString = "LoadPluginString";
constexpr const char* kLoadPluginMenu = "LoadPluginMenu";
constexpr const char* kLoadPluginToolBar = "LoadPluginToolBar";
constexpr const char* kSetHostMessageCallback = "SetHostMessageCallback";
constexpr const char* kQueryClose = "QueryClose";

// The string naming the handset model the plug-in serves.
constexpr int kStringModelName = 100;

// The menu and toolbar a plug-in offers the host.
constexpr int kMenuResource = 2000;
constexpr int kToolBarResource = 2000;

// Host notification message; its first parameter names the status bar line.
constexpr unsigned kHostNotifyMessage = 26000;
enum HostLine : int { kStatusLine = 0, kPhoneLine = 1, kPortLine = 2 };

// Commands that the host gives to the active view rather than to the
// plug-in: a view that handles them declares
//   Q_INVOKABLE bool OnCommand(int command);
// and returns true when it handled the command.
constexpr unsigned kCommandPrint = 57607;
constexpr unsigned kCommandCopy = 57634;
constexpr unsigned kCommandCut = 57635;
constexpr unsigned kCommandPaste = 57637;
// Shows or hides the toolbar: the host's own.
constexpr unsigned kCommandToolBar = 59392;
constexpr const char* kViewCommandMethod = "OnCommand";

} // namespace PluginAbi
