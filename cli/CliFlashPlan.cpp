#include "cli/CliFlashPlan.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "comm/CommConstants.h"
#include "engine/EngineConstants.h"

namespace corvanetov {

namespace {
constexpr double kBitsPerByte8N1 = 10.0;

const char* PassName(const FlashPass& pass)
{
    if (pass.part == FlashPass::Part::Font)
        return "font";
    return pass.start == 0 ? "boot region" : "main part";
}

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}
} // namespace

CliFlashPlan::CliFlashPlan(int option, const DownloadImages& images)
    : m_option(option), m_images(images), m_plan(DownloadOption::Of(option).value_or(DownloadOption{}), images)
{
}

double CliFlashPlan::LineSeconds(const FlashPlan::Wire& wire)
{
    return static_cast<double>(wire.requestBytes + wire.answerBytes) * kBitsPerByte8N1 / comm::kDiagBaud;
}

std::string CliFlashPlan::UnwrittenReason() const
{
    if (m_images.smallImage)
        return "an image of at most 0x4FFFF bytes gets the boot pass only";
    return "its header names no main part (the value at offset 4 is above 0x4FFFF): it gets the boot pass only";
}

bool CliFlashPlan::Print(bool json) const
{
    FlashPlan::Wire wire;
    if (!m_plan.WireBytes(wire))
        return false;
    if (json)
        PrintJson(wire);
    else
        PrintText(wire);
    return true;
}

void CliFlashPlan::PrintText(const FlashPlan::Wire& wire) const
{
    std::printf("Option %d, %s: what a download would write (nothing is sent)\n", m_option, engine::kDownloadOptionNames[m_option]);
    int number = 0;
    for (const FlashPass& pass : m_plan.Passes()) {
        std::printf("Pass %d, %s of %s\n", ++number, PassName(pass), pass.path.c_str());
        std::printf("  start request  %s %s\n", Hex(pass.startFirst).c_str(), Hex(pass.startSecond).c_str());
        const char* origin = pass.part == FlashPass::Part::Font ? " past the start address" : "";
        std::printf("  erase          %s, %u bytes%s\n", Hex(pass.start).c_str(), pass.length, origin);
        std::printf("  blocks         %u of 8192 bytes from %s to %s%s\n", pass.blocks, Hex(pass.start).c_str(),
                    Hex(pass.start + pass.BlockBytes()).c_str(), origin);
    }
    for (const FlashPlan::Coverage& file : m_plan.FileCoverage()) {
        std::printf("%s: %llu bytes, %llu written\n", file.path.c_str(), static_cast<unsigned long long>(file.fileSize),
                    static_cast<unsigned long long>(file.written));
        for (auto [from, to] : file.unwritten)
            std::printf("  NOT WRITTEN: bytes %s to %s (%llu bytes): %s\n", Hex(from).c_str(), Hex(to - 1).c_str(),
                        static_cast<unsigned long long>(to - from), UnwrittenReason().c_str());
    }
    std::printf("On the line: %llu bytes of blocks and %llu of answers, %.1f s at %u baud (8N1)\n",
                static_cast<unsigned long long>(wire.requestBytes), static_cast<unsigned long long>(wire.answerBytes),
                LineSeconds(wire), comm::kDiagBaud);
}

void CliFlashPlan::PrintJson(const FlashPlan::Wire& wire) const
{
    nlohmann::json passes = nlohmann::json::array();
    for (const FlashPass& pass : m_plan.Passes())
        passes.push_back({{"name", PassName(pass)},
                          {"file", pass.path},
                          {"start_request", {pass.startFirst, pass.startSecond}},
                          {"erase_start", pass.start},
                          {"erase_length", pass.length},
                          {"blocks", pass.blocks},
                          {"block_bytes", pass.BlockBytes()}});
    nlohmann::json files = nlohmann::json::array();
    for (const FlashPlan::Coverage& file : m_plan.FileCoverage()) {
        nlohmann::json unwritten = nlohmann::json::array();
        for (auto [from, to] : file.unwritten)
            unwritten.push_back({{"from", from}, {"to", to}, {"reason", UnwrittenReason()}});
        files.push_back({{"path", file.path}, {"size", file.fileSize}, {"written", file.written}, {"not_written", unwritten}});
    }
    nlohmann::json plan = {{"option", m_option},
                           {"name", engine::kDownloadOptionNames[m_option]},
                           {"passes", passes},
                           {"files", files},
                           {"line", {{"block_bytes", wire.requestBytes},
                                     {"answer_bytes", wire.answerBytes},
                                     {"baud", comm::kDiagBaud},
                                     {"seconds", LineSeconds(wire)}}}};
    std::cout << plan.dump() << std::endl;
}

} // namespace corvanetov
