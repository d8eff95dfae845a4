#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Screenshot.h"
#include "VirtualDisplay.h"

namespace corvanetov {

// The simulated handset's ESN, as the tool shows it.
inline constexpr char kSimulatedEsn[] = "8D2A41F3";

// The real host service tool, as a technician starts it, on a display of
// the test's own: a fresh home folder (so no settings yet), a serial device
// listing of its own and, where the case wants one, the simulated handset
// in it. The test reads the window through what the host echoes
// (CORVANETOV_UI_ECHO), the windows on screen, screenshots, the settings
// file, the simulator's log and the exit code; every wait is bounded.
class WindowFixture : public ::testing::Test {
protected:
    // A tenth: the host's answers are awaited for 150 ms and more. At the
    // other tests' hundredth a busy machine (a build beside the tests) kept
    // an answer past its wait now and then, and the read asked again.
    static constexpr double kTimeScale = 0.1;
    // At this scale a read waits 15 s before its status request: time enough
    // to stop it or to close the window by hand, and Stop ends it at once.
    static constexpr double kHeldReadTimeScale = 5;

    void SetUp() override;
    void TearDown() override;

    // Starts the simulated handset in the listing; returns its listed path.
    std::string StartHandset(const std::vector<std::string>& options = {});
    // Simulated handsets in the listing, each under a name and ESN of its
    // own (8D2A41F0, 8D2A41F1, ...): a tray for the station.
    void StartTray(size_t count);
    // Setup > Station, then Start with the window's first job (the phone
    // information read); the station window, once the status bar shows
    // `summary`, or a window with an empty id.
    VirtualDisplay::Window RunStation(const std::string& summary);
    // The host with its command-line options, at the time scale.
    void StartHost(double timeScale = kTimeScale, const std::vector<std::string>& options = {});
    // A further host on the same display, home and listing, writing what it
    // echoes to its own log.
    // extra: more of the environment (CORVANETOV_TRACE, say).
    void StartAnotherHost(ChildProcess& host, const std::string& log, double timeScale = kTimeScale,
                          const std::vector<std::string>& extra = {}) const;
    // The home, settings and listing the hosts have, for corvanetov-cli.
    std::vector<std::string> CliEnvironment() const;
    // The host's exit code (128 + signal for a crash), or
    // ChildProcess::kStillRunning when it has not ended within the wait.
    int WaitForHostExit();
    bool HostRunning();
    // File > Exit, from the keyboard.
    void QuitHost();
    // Destroys the main window from outside, as `xdotool windowclose` does.
    void DestroyMainWindow();
    // The window manager's close button on the main window: the request goes
    // to every window under the main window's name (the listing may name
    // more than one); false when the display could not be reached.
    bool AskMainWindowToClose() const;

    // Counts and waits on lines the host echoed that contain `part`; the
    // host's, or another host's log.
    int EchoCount(const std::string& part, const std::string& log = {}) const;
    bool WaitForEcho(const std::string& part, int count = 1, const std::string& log = {}) const;
    static std::string StatusLine(int line, const std::string& text);
    static std::string DialogText(const std::string& text);

    // The windows on screen; a window with an empty id when none came.
    VirtualDisplay::Window WaitForWindow(const std::string& namePattern) const;
    VirtualDisplay::Window MainWindow() const;
    // A window on screen besides the main window: a dialog or a message box.
    VirtualDisplay::Window WaitForDialog() const;
    bool WaitUntilNoDialog() const;
    // Gives the dialog on screen the focus and presses the key.
    void AnswerDialog(const std::string& key) const;
    // Gives the main window the focus and presses the keys.
    void Keys(const std::vector<std::string>& keys) const;
    // Moves on by `steps` tabs and waits until the new view is drawn.
    void ToTab(int steps) const;

    // In the grid that has the focus, each cell's row's value (second
    // column, rows counted from 1) typed over and entered.
    void TypeIntoGrid(const std::vector<std::pair<int, std::string>>& cells) const;

    std::optional<Screenshot> Shot() const;
    // A screenshot once the screen has stopped changing: nothing half-drawn.
    std::optional<Screenshot> SettledShot() const;
    // A screenshot, and where the phone information view's read button is in it.
    struct ReadButtonShot {
        Screenshot shot;
        ScreenRect button;
    };
    std::optional<ReadButtonShot> ShootReadButton(Screenshot::Side side = Screenshot::Side::Left) const;
    // False when there was no button to click.
    bool ClickReadButton(Screenshot::Side side = Screenshot::Side::Left) const;
    // With CORVANETOV_WINDOW_SHOTS naming a folder, keeps that part of the
    // screenshot there as a PNG under the name.
    void KeepShot(const Screenshot& shot, const ScreenRect& part, const std::string& name) const;

    // The port number the host's settings file holds.
    std::string StoredPort() const;
    // Whether the host's user keeps a note of a handset left waiting in
    // download mode (the test's one handset).
    bool NotedInDownloadMode() const;
    // A value of the host's settings file, by the end of its key.
    std::string StoredValue(const std::string& name) const;
    // Values put in the host's settings file before it starts, under the
    // key the views keep their choices in (the names as the views write
    // them, spaces and all).
    void StoreViewChoices(const std::vector<std::pair<std::string, std::string>>& values) const;
    // Opens one of the views listed under "More views" (the host started
    // with --all-views) and waits until the screen shows neither what it
    // showed before nor the open menu.
    void OpenMoreView(int index) const;
    // Requests the simulator got, by their name in its log ("StatusRequest").
    int HandsetRequests(const std::string& command) const;

    // Polls the condition until it holds or the wait is over.
    template <typename Condition>
    static bool WaitUntil(Condition condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        for (;;) {
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(kPollPeriod);
        }
    }

    std::string m_folder;
    std::string m_byId;
    VirtualDisplay m_display;
    ChildProcess m_handset;
    std::vector<std::unique_ptr<ChildProcess>> m_tray;
    ChildProcess m_host;

private:
    std::vector<std::string> HostEnvironment(double timeScale) const;

    // Generous: the machine may be busy building while the tests run.
    static constexpr std::chrono::seconds kEventWait{20};
    static constexpr std::chrono::milliseconds kPollPeriod{50};

    std::string m_home;
};

} // namespace corvanetov
