#include "WindowFixture.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/HostConstants.h"
#include "hostlink/PluginAbi.h"
#include "ports/PortConstants.h"

namespace corvanetov {

namespace fs = std::filesystem;

namespace {
// The main window's name: the host's title, a dash and the model.
const std::string kMainWindowPrefix = std::string(HostConstants::kWindowTitle) + " - ";
constexpr char kShotsVariable[] = "CORVANETOV_WINDOW_SHOTS";
constexpr char kSettingsFile[] = "/.config/CorvaneTOV/corvanetov.ini";
// INI keys escape their spaces.
constexpr char kEscapedSpace[] = "%20";
// The settings file's one section: every key lies below it.
constexpr char kSettingsSection[] = "Software";
// More views, from the keyboard: no window manager is needed.
const std::vector<std::string> kMoreViewsMenu = {"alt+m"};
// Setup > Station, from the keyboard, and the window it opens.
const std::vector<std::string> kStationMenu = {"alt+s", "s"};
constexpr char kStationWindow[] = "^Station$";

std::string TempFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// An INI key as the settings file holds it: '\\' between groups, and every
// character other than a letter, digit, '_', '-' or '.' escaped.
std::string Escaped(const std::string& key)
{
    std::string escaped;
    for (char c : key) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == '\\') {
            escaped += c;
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        escaped += hex;
    }
    return escaped;
}

std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int CountLines(const std::string& path, const std::vector<std::string>& parts)
{
    int count = 0;
    for (const std::string& line : Lines(path)) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        count += all;
    }
    return count;
}

bool IsMainWindow(const VirtualDisplay::Window& window)
{
    return window.name.rfind(kMainWindowPrefix, 0) == 0;
}
} // namespace

void WindowFixture::SetUp()
{
    std::string missing = VirtualDisplay::MissingPrograms();
    if (!missing.empty())
        GTEST_SKIP() << "the real-window tests need " << missing << " (scripts/install-deps installs them)";
    std::string pattern = TempFolder() + "/corvanetov-window-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    m_folder = pattern;
    m_byId = m_folder + "/by-id";
    m_home = m_folder + "/home";
    fs::create_directories(m_byId);
    fs::create_directories(m_home);
    fs::create_directory(m_folder + "/run");
    fs::permissions(m_folder + "/run", fs::perms::owner_all);
    ASSERT_TRUE(m_display.Start()) << "Xvfb did not start, or did not answer on the display it named";
}

void WindowFixture::TearDown()
{
    if (HasFailure() && !m_folder.empty()) {
        std::ifstream log(m_folder + "/host.log");
        std::cout << "What the host wrote:\n" << log.rdbuf() << std::endl;
        std::cout << "The case's X server " << (m_display.Running() ? "still runs" : "has ended") << std::endl;
    }
    m_host.Stop();
    m_handset.Stop();
    m_tray.clear();
    if (!m_folder.empty())
        fs::remove_all(m_folder);
}

std::string WindowFixture::StartHandset(const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {VQXB410_SIM_PATH, "--by-id", m_byId, "--log", m_folder + "/sim.log",
                                     "--state", m_folder + "/handset.json"};
    argv.insert(argv.end(), options.begin(), options.end());
    std::string device = m_handset.Start(argv);
    EXPECT_FALSE(device.empty()) << "the simulated handset did not start";
    return device;
}

void WindowFixture::StartTray(size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const std::string handset = m_folder + "/handset" + std::to_string(i);
        m_tray.push_back(std::make_unique<ChildProcess>());
        EXPECT_FALSE(m_tray.back()
                         ->Start({VQXB410_SIM_PATH, "--by-id", m_byId, "--by-id-name",
                                  "usb-Corvane_VQX-B410_" + std::to_string(i) + "_qxcdmdm-if02-port0", "--state",
                                  handset + ".json", "--esn", "8D2A41F" + std::to_string(i)})
                         .empty());
    }
}

VirtualDisplay::Window WindowFixture::RunStation(const std::string& summary)
{
    VirtualDisplay::Window main = MainWindow();
    if (main.id.empty())
        return {};
    m_display.Focus(main);
    m_display.Keys(kStationMenu);
    VirtualDisplay::Window station = WaitForWindow(kStationWindow);
    if (station.id.empty())
        return {};
    m_display.Focus(station);
    m_display.Keys({"Return"}); // Start, the window's default button
    return WaitForEcho(StatusLine(PluginAbi::kStatusLine, summary)) ? station : VirtualDisplay::Window{};
}

std::vector<std::string> WindowFixture::CliEnvironment() const
{
    return {"HOME=" + m_home, "XDG_CONFIG_HOME=" + m_home + "/.config", "XDG_DATA_HOME=" + m_home + "/.local/share",
            "XDG_RUNTIME_DIR=" + m_folder + "/run", "CORVANETOV_SERIAL_BY_ID=" + m_byId};
}

std::vector<std::string> WindowFixture::HostEnvironment(double timeScale) const
{
    std::ostringstream scale;
    scale << timeScale;
    std::vector<std::string> environment = m_display.ClientEnvironment();
    const std::vector<std::string> cli = CliEnvironment();
    environment.insert(environment.end(), cli.begin(), cli.end());
    environment.insert(environment.end(), {"CORVANETOV_TIME_SCALE=" + scale.str(), "CORVANETOV_UI_ECHO=1",
                                           // The verdict here is crash or hang; in a sanitizer build a leak
                                           // check at exit would judge the libraries under Qt (libdbus
                                           // leaves a buffer behind).
                                           "ASAN_OPTIONS=detect_leaks=0"});
    return environment;
}

void WindowFixture::StartHost(double timeScale, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {CORVANETOV_HOST_PATH};
    argv.insert(argv.end(), options.begin(), options.end());
    m_host.StartLogged(argv, HostEnvironment(timeScale), m_folder + "/host.log");
}

void WindowFixture::StartAnotherHost(ChildProcess& host, const std::string& log, double timeScale,
                                     const std::vector<std::string>& extra) const
{
    std::vector<std::string> environment = HostEnvironment(timeScale);
    environment.insert(environment.end(), extra.begin(), extra.end());
    host.StartLogged({CORVANETOV_HOST_PATH}, environment, log);
}

int WindowFixture::WaitForHostExit()
{
    return m_host.WaitForExit(kEventWait);
}

bool WindowFixture::HostRunning()
{
    return m_host.WaitForExit(std::chrono::milliseconds(0)) == ChildProcess::kStillRunning;
}

void WindowFixture::QuitHost()
{
    m_display.Focus(MainWindow());
    m_display.Keys({"ctrl+q"});
}

void WindowFixture::DestroyMainWindow()
{
    m_display.Destroy(MainWindow());
}

bool WindowFixture::AskMainWindowToClose() const
{
    bool reached = !MainWindow().id.empty();
    for (const VirtualDisplay::Window& window : m_display.Windows("^" + kMainWindowPrefix))
        reached = m_display.AskToClose(window) && reached;
    return reached;
}

int WindowFixture::EchoCount(const std::string& part, const std::string& log) const
{
    return CountLines(log.empty() ? m_folder + "/host.log" : log, {part});
}

bool WindowFixture::WaitForEcho(const std::string& part, int count, const std::string& log) const
{
    return WaitUntil([&] { return EchoCount(part, log) >= count; });
}

std::string WindowFixture::StatusLine(int line, const std::string& text)
{
    return "status-bar " + std::to_string(line) + ": " + text;
}

std::string WindowFixture::DialogText(const std::string& text)
{
    return "| " + text;
}

VirtualDisplay::Window WindowFixture::WaitForWindow(const std::string& namePattern) const
{
    VirtualDisplay::Window found;
    WaitUntil([&] {
        auto windows = m_display.Windows(namePattern);
        if (!windows.empty())
            found = windows.front();
        return !windows.empty();
    });
    return found;
}

VirtualDisplay::Window WindowFixture::MainWindow() const
{
    return WaitForWindow("^" + kMainWindowPrefix);
}

VirtualDisplay::Window WindowFixture::WaitForDialog() const
{
    VirtualDisplay::Window found;
    WaitUntil([&] {
        for (const auto& window : m_display.Windows())
            if (!IsMainWindow(window))
                found = window;
        return !found.id.empty();
    });
    return found;
}

bool WindowFixture::WaitUntilNoDialog() const
{
    return WaitUntil([&] {
        for (const auto& window : m_display.Windows())
            if (!IsMainWindow(window))
                return false;
        return true;
    });
}

void WindowFixture::AnswerDialog(const std::string& key) const
{
    VirtualDisplay::Window dialog = WaitForDialog();
    ASSERT_FALSE(dialog.id.empty()) << "no dialog to answer with " << key;
    m_display.Focus(dialog);
    m_display.Keys({key});
}

void WindowFixture::Keys(const std::vector<std::string>& keys) const
{
    m_display.Focus(MainWindow());
    m_display.Keys(keys);
}

void WindowFixture::ToTab(int steps) const
{
    std::optional<ReadButtonShot> before = ShootReadButton();
    ASSERT_TRUE(before) << "no button in the first tab";
    Keys(std::vector<std::string>(static_cast<size_t>(steps), "ctrl+Tab"));
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<ReadButtonShot> seen = ShootReadButton();
        return seen && seen->button != before->button;
    })) << "tab " << steps << " did not come up";
}

void WindowFixture::TypeIntoGrid(const std::vector<std::pair<int, std::string>>& cells) const
{
    for (const auto& [row, text] : cells) {
        std::vector<std::string> keys = {"ctrl+Home", "Right"};
        keys.insert(keys.end(), size_t(row - 1), "Down");
        keys.insert(keys.end(), {"F2", "ctrl+a"});
        for (char c : text)
            keys.push_back(std::string(1, c));
        keys.push_back("Return");
        m_display.Keys(keys);
    }
}

std::optional<Screenshot> WindowFixture::Shot() const
{
    return m_display.Shot(m_folder + "/screen.ppm");
}

std::optional<Screenshot> WindowFixture::SettledShot() const
{
    std::optional<Screenshot> previous = Shot();
    std::optional<Screenshot> latest;
    const bool settled = WaitUntil([&] {
        latest = Shot();
        bool same = previous && latest && latest->SamePixels(*previous);
        previous = latest;
        return same;
    });
    return settled ? latest : std::nullopt;
}

std::optional<WindowFixture::ReadButtonShot> WindowFixture::ShootReadButton(Screenshot::Side side) const
{
    std::optional<Screenshot> shot = Shot();
    std::optional<ScreenRect> button = shot ? shot->LowestButton(MainWindow().frame, side) : std::nullopt;
    if (!button)
        return std::nullopt;
    return ReadButtonShot{std::move(*shot), *button};
}

bool WindowFixture::ClickReadButton(Screenshot::Side side) const
{
    std::optional<ReadButtonShot> seen = ShootReadButton(side);
    if (seen)
        m_display.Click(seen->button.CenterX(), seen->button.CenterY());
    return seen.has_value();
}

void WindowFixture::KeepShot(const Screenshot& shot, const ScreenRect& part, const std::string& name) const
{
    const char* folder = std::getenv(kShotsVariable);
    if (folder && *folder) {
        fs::create_directories(folder);
        EXPECT_TRUE(m_display.SavePng(shot, part, std::string(folder) + "/" + name)) << name;
    }
}

std::string WindowFixture::StoredPort() const
{
    return StoredValue(ports::kPortNumberValue);
}

bool WindowFixture::NotedInDownloadMode() const
{
    const fs::path notes = fs::path(m_home + kSettingsFile).parent_path() / ports::kDownloadModeFolder;
    std::error_code error;
    return fs::directory_iterator(notes, error) != fs::directory_iterator();
}

std::string WindowFixture::StoredValue(const std::string& name) const
{
    for (const std::string& line : Lines(m_home + kSettingsFile)) {
        size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        for (size_t at; (at = key.find(kEscapedSpace)) != std::string::npos;)
            key.replace(at, std::char_traits<char>::length(kEscapedSpace), " ");
        if (equals != std::string::npos && (key == name || (key.size() > name.size() && key.ends_with("\\" + name))))
            return line.substr(equals + 1);
    }
    return {};
}

void WindowFixture::StoreViewChoices(const std::vector<std::pair<std::string, std::string>>& values) const
{
    std::string viewsKey = std::string(ports::kPortKey).substr(std::string(kSettingsSection).size() + 1);
    fs::create_directories(fs::path(m_home + kSettingsFile).parent_path());
    std::ofstream file(m_home + kSettingsFile);
    file << '[' << kSettingsSection << "]\n";
    for (const auto& [name, value] : values)
        file << Escaped(viewsKey + '\\' + name) << '=' << value << '\n';
}

void WindowFixture::OpenMoreView(int index) const
{
    std::optional<Screenshot> before = SettledShot();
    ASSERT_TRUE(before);
    Keys(kMoreViewsMenu);
    std::optional<Screenshot> menu;
    ASSERT_TRUE(WaitUntil([&] { return (menu = SettledShot()) && !menu->SamePixels(*before); })) << "no menu";
    std::vector<std::string> keys(static_cast<size_t>(index), "Down");
    keys.push_back("Return");
    m_display.Keys(keys);
    ASSERT_TRUE(WaitUntil([&] {
        std::optional<Screenshot> seen = SettledShot();
        return seen && !seen->SamePixels(*before) && !seen->SamePixels(*menu);
    })) << "view " << index << " of More views did not come up";
}

int WindowFixture::HandsetRequests(const std::string& command) const
{
    return CountLines(m_folder + "/sim.log", {"\"dir\":\"rx\"", "\"cmd\":\"" + command + "\""});
}

} // namespace corvanetov
