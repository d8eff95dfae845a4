#include "VirtualDisplay.h"

#include <cstdlib>
#include <sstream>
#include <unistd.h>
#include <xcb/xcb.h>

namespace corvanetov {

namespace {
constexpr char kServer[] = "Xvfb";
constexpr char kDriver[] = "xdotool";
constexpr char kGrabber[] = "import";
constexpr char kConverter[] = "convert";
// Larger than the host's window, so that nothing of it is cut off.
constexpr char kScreen[] = "800x600x24";
constexpr char kScreenSize[] = "800 600"; // as xdotool getdisplaygeometry says it
// Any X client call ends well within this, even on a busy machine.
constexpr std::chrono::seconds kClientTimeout(20);
constexpr int kMouseButtonLeft = 1;

// The program's path through PATH; empty when it is not installed.
std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// A value of xdotool's --shell output ("X=12").
int ShellValue(const std::string& text, const std::string& name)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "=", 0) == 0)
            return std::atoi(line.c_str() + name.size() + 1);
    return -1;
}

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}
} // namespace

std::string VirtualDisplay::MissingPrograms()
{
    std::string missing;
    for (const char* program : {kServer, kDriver, kGrabber, kConverter})
        if (FindProgram(program).empty())
            missing += std::string(missing.empty() ? "" : ", ") + program;
    return missing;
}

bool VirtualDisplay::Start()
{
    // -displayfd: the server picks a free display number and writes it to
    // its standard output once it accepts clients. -noreset: an X server
    // resets whenever its last client leaves, which every short xdotool call
    // is; the case's display stays as it was from start to end instead.
    std::string number = m_server.Start({FindProgram(kServer), "-displayfd", "1", "-noreset", "-screen", "0", kScreen,
                                         "-nolisten", "tcp"},
                                        {"DISPLAY=", "XAUTHORITY=/dev/null"});
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    m_name = ":" + number;
    // The display is the case's own once a client is served on it.
    auto geometry = Client(kDriver, {"getdisplaygeometry"});
    return geometry.exitCode == 0 && Trimmed(geometry.out) == kScreenSize;
}

std::vector<std::string> VirtualDisplay::ClientEnvironment() const
{
    return {"DISPLAY=" + m_name, "XAUTHORITY=/dev/null", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"};
}

bool VirtualDisplay::Running()
{
    return m_server.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning;
}

ChildProcess::Result VirtualDisplay::Client(const std::string& program, const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv = {FindProgram(program)};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ChildProcess::Run(argv, ClientEnvironment(), kClientTimeout);
}

std::optional<VirtualDisplay::Window> VirtualDisplay::Describe(const std::string& id) const
{
    auto geometry = Client(kDriver, {"getwindowgeometry", "--shell", id});
    auto name = Client(kDriver, {"getwindowname", id});
    if (geometry.exitCode != 0 || name.exitCode != 0)
        return std::nullopt;
    ScreenRect frame{ShellValue(geometry.out, "X"), ShellValue(geometry.out, "Y"), ShellValue(geometry.out, "WIDTH"),
                     ShellValue(geometry.out, "HEIGHT")};
    return Window{id, Trimmed(name.out), frame};
}

std::vector<VirtualDisplay::Window> VirtualDisplay::Windows(const std::string& namePattern) const
{
    std::vector<Window> windows;
    std::istringstream ids(Client(kDriver, {"search", "--onlyvisible", "--name", namePattern}).out);
    for (std::string id; std::getline(ids, id);)
        if (auto window = Describe(id))
            windows.push_back(*window);
    return windows;
}

void VirtualDisplay::Focus(const Window& window) const
{
    Client(kDriver, {"windowfocus", "--sync", window.id});
}

void VirtualDisplay::Keys(const std::vector<std::string>& keys) const
{
    std::vector<std::string> arguments = {"key", "--clearmodifiers"};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    Client(kDriver, arguments);
}

void VirtualDisplay::Type(const std::string& text) const
{
    Client(kDriver, {"type", "--clearmodifiers", "--delay", "0", text});
}

void VirtualDisplay::Click(int x, int y) const
{
    Client(kDriver, {"mousemove", std::to_string(x), std::to_string(y), "click", std::to_string(kMouseButtonLeft)});
}

void VirtualDisplay::Destroy(const Window& window) const
{
    Client(kDriver, {"windowclose", window.id});
}

bool VirtualDisplay::AskToClose(const Window& window) const
{
    xcb_connection_t* connection = xcb_connect(m_name.c_str(), nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    if (reached) {
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = static_cast<xcb_window_t>(std::stoul(window.id));
        message.type = Atom(connection, "WM_PROTOCOLS");
        message.data.data32[0] = Atom(connection, "WM_DELETE_WINDOW");
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(connection);
    }
    xcb_disconnect(connection);
    return reached;
}

std::optional<Screenshot> VirtualDisplay::Shot(const std::string& path) const
{
    if (Client(kGrabber, {"-silent", "-window", "root", "-depth", "8", path}).exitCode != 0)
        return std::nullopt;
    return Screenshot::Load(path);
}

bool VirtualDisplay::SavePng(const Screenshot& shot, const ScreenRect& part, const std::string& path) const
{
    std::string crop = std::to_string(part.width) + "x" + std::to_string(part.height) + "+" + std::to_string(part.x) + "+"
        + std::to_string(part.y);
    return Client(kConverter, {shot.Path(), "-crop", crop, "+repage", path}).exitCode == 0;
}

} // namespace corvanetov
