#include "sim/SimFlashLoader.h"

#include "sim/FaultPlan.h"
#include "sim/LittleEndian.h"
#include "sim/SimConstants.h"

namespace {
constexpr size_t kStartSize = 9;
constexpr size_t kStart2Size = 1;
constexpr size_t kVersionCheckSize = 5;
constexpr size_t kEraseSize = 9;
} // namespace

void SimFlashLoader::Restart()
{
    m_blocksSeen = 0;
    m_base = 0;
    m_loaderArmed = false;
}

SimFlashLoader::Outcome SimFlashLoader::Handle(const std::vector<uint8_t>& request)
{
    Outcome outcome;
    switch (request[0]) {
    case sim::kFlashStart:
        outcome.status = Start(request);
        break;
    case sim::kFlashVersionCheck:
        if (request.size() != kVersionCheckSize)
            outcome.status = sim::kFlashBadRequest;
        else
            outcome.status = sim::Le32(&request[1]) == 0 ? sim::kFlashVersionUnknown : sim::kFlashAck;
        break;
    case sim::kFlashCopy:
        outcome.status = sim::kFlashAck;
        break;
    case sim::kFlashMode:
        m_loaderArmed = true;
        outcome.status = sim::kFlashAck;
        break;
    case sim::kFlashJump:
        // A jump after copy and mode starts the loader in RAM; any other
        // jump restarts the handset from its new flash.
        outcome.reboot = !m_loaderArmed;
        m_loaderArmed = false;
        outcome.status = sim::kFlashAck;
        break;
    case sim::kFlashErase:
        outcome.status = Erase(request);
        outcome.erase = true;
        break;
    case sim::kFlashWriteBlock:
        outcome.status = WriteBlock(request);
        break;
    default:
        break; // the loader does not answer what it does not know
    }
    return outcome;
}

uint8_t SimFlashLoader::Start(const std::vector<uint8_t>& request)
{
    if (request.size() == kStart2Size)
        return sim::kFlashAck;
    if (request.size() != kStartSize)
        return sim::kFlashBadRequest;
    uint32_t first = sim::Le32(&request[1]);
    m_base = first == sim::kBootRegionMarker ? 0 : first;
    if (m_base != 0)
        m_fontBase = m_base;
    return sim::kFlashAck;
}

uint8_t SimFlashLoader::Erase(const std::vector<uint8_t>& request)
{
    if (request.size() != kEraseSize)
        return sim::kFlashBadRequest;
    uint64_t start = m_base + sim::Le32(&request[1]);
    return m_flash.Erase(start, sim::Le32(&request[5])) ? sim::kFlashAck : sim::kFlashBadRequest;
}

uint8_t SimFlashLoader::WriteBlock(const std::vector<uint8_t>& request)
{
    if (request.size() != sim::kWriteBlockRequestSize || sim::Le16(&request[5]) != sim::kFlashBlockSize)
        return sim::kFlashBadRequest;
    unsigned block = m_blocksSeen++;
    if (auto nak = m_faults.TakeBlockNak(block))
        return *nak;
    uint64_t address = m_base + sim::Le32(&request[1]);
    return m_flash.Program(address, &request[7], sim::kFlashBlockSize) ? sim::kFlashAck : sim::kFlashNotErased;
}

nlohmann::json SimFlashLoader::Describe(const std::vector<uint8_t>& request)
{
    nlohmann::json fields = {{"size", request.size()}};
    switch (request[0]) {
    case sim::kFlashStart:
        if (request.size() == kStartSize) {
            fields["first"] = sim::Le32(&request[1]);
            fields["second"] = sim::Le32(&request[5]);
        } else {
            fields["start2"] = true;
        }
        break;
    case sim::kFlashVersionCheck:
        if (request.size() == kVersionCheckSize)
            fields["image_version"] = sim::Le32(&request[1]);
        break;
    case sim::kFlashErase:
        if (request.size() == kEraseSize) {
            fields["start"] = sim::Le32(&request[1]);
            fields["length"] = sim::Le32(&request[5]);
        }
        break;
    case sim::kFlashWriteBlock:
        if (request.size() >= 7) {
            fields["address"] = sim::Le32(&request[1]);
            fields["length"] = sim::Le16(&request[5]);
        }
        break;
    default:
        break;
    }
    return fields;
}
