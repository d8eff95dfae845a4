#include "cli/CliFlash.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/CliApp.h"
#include "cli/CliFlashPlan.h"
#include "cli/CliPrompts.h"
#include "cli/CliSettings.h"
#include "engine/DownloadImages.h"
#include "engine/DownloadOption.h"
#include "engine/EngineConstants.h"
#include "engine/NamTransfer.h"
#include "engine/OperationContext.h"
#include "engine/RebuildWorker.h"
#include "engine/SwDownloadWorker.h"
#include "nv/NVList.h"
#include "nv/NvDoc.h"
#include "nv/SettingsCatalogue.h"

namespace corvanetov {

void CliFlash::Register(CLI::App& parser)
{
    m_flash = parser.add_subcommand("flash", "write software and font images into the handset's flash");
    m_flash->add_option("--option", m_option, "0 NORMAL(Phone), 1 NORMAL(Phone + FONT), 2 NORMAL(FONT), 3-5 the same for a "
                                              "handset already in download mode (EMERGENCY)")
        ->required()
        ->check(CLI::Range(0, engine::kDownloadOptions - 1));
    m_flash->add_option("--code", m_code, "software (code) image, *.bin");
    m_flash->add_option("--font", m_font, "font image, *.bin");
    m_flash->add_option("--font-address", m_fontAddress, "flash start address of the font, hexadecimal (default: ask)")
        ->check([](const std::string& text) { return CliPrompts::ParseFontAddress(text) ? "" : "one to eight hexadecimal digits"; });
    m_flash->add_flag("--keep-settings", m_keepSettings,
                      "read the settings before the download and write them back when the handset has restarted "
                      "(options 0 to 2)");
    m_flash->add_flag("--plan", m_plan, "show what would be written where, and how long it takes, without touching a port");
    m_rebuild = parser.add_subcommand("rebuild", "rebuild the handset over its UART link (boot loader at 9600 baud)");
}

std::optional<int> CliFlash::Run()
{
    if (m_flash && m_flash->parsed())
        return Flash();
    if (m_rebuild && m_rebuild->parsed())
        return Rebuild();
    return std::nullopt;
}

std::string CliFlash::MissingFiles(const DownloadOption& option) const
{
    std::string missing;
    if (option.code && m_code.empty())
        missing = "--code FILE";
    if (option.font && m_font.empty())
        missing += std::string(missing.empty() ? "" : " and ") + "--font FILE";
    return missing;
}

std::optional<uint32_t> CliFlash::FontAddress() const
{
    if (!m_fontAddress.empty())
        return CliPrompts::ParseFontAddress(m_fontAddress);
    return CliPrompts::FontAddressFromTerminal();
}

int CliFlash::Flash()
{
    DownloadOption option = *DownloadOption::Of(m_option);
    if (std::string missing = MissingFiles(option); !missing.empty()) {
        std::cerr << "Option " << m_option << " (" << engine::kDownloadOptionNames[m_option] << ") needs " << missing << std::endl;
        return CliApp::kExitUsage;
    }
    std::optional<uint32_t> fontAddress;
    if (option.font)
        fontAddress = m_plan && m_fontAddress.empty() ? engine::kDefaultFontStartAddress : FontAddress();
    if (m_plan)
        return Plan(option, fontAddress.value_or(0));
    if (m_keepSettings && m_option >= engine::kDownloadOptions / 2) {
        std::cerr << "--keep-settings reads the settings first, which a handset in download mode cannot give (options 0 to 2)"
                  << std::endl;
        return CliApp::kExitUsage;
    }
    // The images are checked before the handset is touched; the download
    // loads them again and keeps them open to its end.
    if (!CheckImages(option, fontAddress.value_or(0)))
        return CliApp::kExitUsage;
    return Download(option, fontAddress);
}

int CliFlash::Emergency(int option, std::string code, std::string font, std::optional<uint32_t> fontAddress)
{
    m_option = option;
    m_code = std::move(code);
    m_font = std::move(font);
    return Download(*DownloadOption::Of(option), fontAddress);
}

int CliFlash::Download(const DownloadOption& option, std::optional<uint32_t> fontAddress)
{
    ServiceRecord record = CliApp::BeginRecord(QString("flash option %1").arg(m_option));
    if (option.code)
        record.inputs << OperationRecord::FileInput("code", m_code);
    if (option.font)
        record.inputs << OperationRecord::FileInput("font", m_font);
    if (fontAddress)
        record.fontAddress = QString::number(*fontAddress, 16).toUpper();
    NvDoc settings;
    // The settings read belong to the handset the read found: the later
    // steps go on only with that handset.
    std::string esn;
    if (m_keepSettings) {
        if (int status = CliSettings::ReadHandset(m_app, "Reading the settings to keep", settings); status != CliApp::kExitOk)
            return m_app.Keep(record, status);
        OperationRecord::TakeKeptSettings(record, settings);
        esn = Context().EsnText();
    }
    // A font address that was not given (no terminal to ask) is the font
    // dialog cancelled: the download ends as the view's does.
    SwDownloadRequest request{m_option, m_code, m_font, esn};
    NvDoc doc;
    m_app.Flashing(true);
    m_app.KeepWhenDownloadModeBegins(record);
    int status = m_app.RunOnHandset(std::string("Software download ") + engine::kDownloadOptionNames[m_option], doc,
                                    [request] { SwDownloadWorker::Run(request); }, fontAddress, CliApp::JsonReports::EveryReport);
    m_app.Flashing(false);
    if (m_app.LastEnd())
        record.bytesWritten = OperationRecord::BytesWritten(m_app.LastEnd()->messages);
    if (status != CliApp::kExitOk || !m_keepSettings)
        return m_app.Keep(record, status);
    OperationRecord::TakeFlashEnd(record, m_app.LastEnd()->text);
    NVList list;
    NamTransferRequest write{SettingsCatalogue::QueueNamItems(list), nullptr, &list, 0, esn};
    status = m_app.RunOnHandset("Writing the settings back", settings, [write] { NamTransfer::NamWriteWorker(write); });
    return m_app.Keep(record, status);
}

bool CliFlash::LoadImages(const DownloadOption& option, uint32_t fontAddress, DownloadImages& images) const
{
    images.fontStartAddress = fontAddress;
    if (option.code && !images.LoadCodeImage(m_code)) {
        std::cerr << option.CodeLoadError() << ": " << images.refusal << std::endl;
        return false;
    }
    if (option.font && !images.LoadFontImage(m_font)) {
        std::cerr << engine::kErrLoadFont << ": " << images.refusal << std::endl;
        return false;
    }
    if (option.font && images.FontRunsPastEnd()) {
        std::fprintf(stderr, "%s: %s holds %llu bytes, and from 0x%X on its blocks would run past 0xFFFFFFFF\n",
                     engine::kErrFontPastEnd, m_font.c_str(), static_cast<unsigned long long>(images.fontSize),
                     static_cast<unsigned>(images.fontStartAddress));
        return false;
    }
    return true;
}

bool CliFlash::CheckImages(const DownloadOption& option, uint32_t fontAddress) const
{
    DownloadImages images;
    return LoadImages(option, fontAddress, images);
}

int CliFlash::Plan(const DownloadOption& option, uint32_t fontAddress) const
{
    DownloadImages images;
    if (!LoadImages(option, fontAddress, images))
        return CliApp::kExitUsage;
    if (!CliFlashPlan(m_option, images).Print(m_app.Json())) {
        std::cerr << "An image could not be read to the end" << std::endl;
        return CliApp::kExitFailed;
    }
    return CliApp::kExitOk;
}

int CliFlash::Rebuild()
{
    NvDoc doc;
    ServiceRecord record = CliApp::BeginRecord("rebuild");
    return m_app.Keep(record, m_app.RunOnHandset("Rebuilding", doc, &RebuildWorker::Run, std::nullopt,
                                                 CliApp::JsonReports::EveryReport));
}

} // namespace corvanetov
