#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Screenshot.h"

namespace corvanetov {

// An X display of the test's own for the test's whole life (Xvfb on a
// display number it picks itself, so tests run side by side, never reset
// between clients) and the X clients that drive and watch it: xdotool for
// windows, keys and the mouse, ImageMagick for screenshots. There is no
// window manager: the test gives the keyboard focus itself.
class VirtualDisplay {
public:
    struct Window {
        std::string id;
        std::string name;
        ScreenRect frame;
    };

    // What of Xvfb, xdotool and ImageMagick is not installed; empty when all are.
    static std::string MissingPrograms();

    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts the X server and waits until it answers on its display; false
    // when it does not come up.
    bool Start();
    // The environment of a program shown on this display: DISPLAY names it,
    // and nothing of the caller's own X or Wayland session is left to fall
    // back on.
    std::vector<std::string> ClientEnvironment() const;
    // Whether the X server still runs (for the report of a failed case).
    bool Running();

    // The windows on screen (mapped) whose names match the extended regular expression.
    std::vector<Window> Windows(const std::string& namePattern = ".") const;
    // Gives the window the keyboard focus, as a window manager would on a click.
    void Focus(const Window& window) const;
    // Presses and releases each key (xdotool names: "Tab", "shift+Tab", "space").
    void Keys(const std::vector<std::string>& keys) const;
    // Types the text into the window that has the focus, key by key.
    void Type(const std::string& text) const;
    void Click(int x, int y) const;
    // Destroys the window, as a program other than its own may.
    void Destroy(const Window& window) const;
    // Asks the window to close, as a window manager's close button does
    // (WM_DELETE_WINDOW); false when the display could not be reached.
    bool AskToClose(const Window& window) const;
    // A picture of the whole screen, written to `path` (PPM).
    std::optional<Screenshot> Shot(const std::string& path) const;
    // Writes part of a screenshot as PNG.
    bool SavePng(const Screenshot& shot, const ScreenRect& part, const std::string& path) const;

private:
    ChildProcess::Result Client(const std::string& program, const std::vector<std::string>& arguments) const;
    std::optional<Window> Describe(const std::string& id) const;

    ChildProcess m_server;
    std::string m_name;
};

} // namespace corvanetov
