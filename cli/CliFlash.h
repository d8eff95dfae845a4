#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace corvanetov {
class CliApp;
struct DownloadImages;
struct DownloadOption;

// The software download and the rebuild from the command line: "flash"
// writes the images of a download option (or, with --plan, shows what it
// would write where without touching a port), "rebuild" sends the boot
// loader's commands.
class CliFlash {
public:
    explicit CliFlash(CliApp& app) : m_app(app) {}

    void Register(CLI::App& parser);
    // The exit status of the command given; none when it was neither.
    std::optional<int> Run();
    // The download of an EMERGENCY option (3 to 5) with these images, as
    // flash runs it: a handset's recovery.
    int Emergency(int option, std::string code, std::string font, std::optional<uint32_t> fontAddress);

private:
    int Flash();
    // The download, with the settings read before it and written back
    // after it when asked.
    int Download(const DownloadOption& option, std::optional<uint32_t> fontAddress);
    int Rebuild();
    // Which image files the option needs that were not given; empty when
    // nothing is missing.
    std::string MissingFiles(const DownloadOption& option) const;
    // The font start address: --font-address, else the terminal's answer.
    std::optional<uint32_t> FontAddress() const;
    int Plan(const DownloadOption& option, uint32_t fontAddress) const;
    bool LoadImages(const DownloadOption& option, uint32_t fontAddress, DownloadImages& images) const;
    // The images loaded and dropped again: false after saying why not.
    bool CheckImages(const DownloadOption& option, uint32_t fontAddress) const;

    CliApp& m_app;
    CLI::App* m_flash = nullptr;
    CLI::App* m_rebuild = nullptr;
    int m_option = 0;
    std::string m_code;
    std::string m_font;
    std::string m_fontAddress;
    bool m_plan = false;
    bool m_keepSettings = false;
};

} // namespace corvanetov
