#include "sim/FlashMemory.h"

#include <algorithm>

#include "platform/FileSave.h"
#include "sim/SimConstants.h"

namespace {
constexpr uint64_t kPageSize = sim::kFlashBlockSize;
constexpr uint8_t kErasedByte = 0xFF;

uint64_t PageOf(uint64_t address)
{
    return address - address % kPageSize;
}
} // namespace

void FlashMemory::AddRange(RangeSet& ranges, uint64_t start, uint64_t end)
{
    auto it = ranges.upper_bound(start);
    if (it != ranges.begin() && std::prev(it)->second >= start)
        --it;
    while (it != ranges.end() && it->first <= end) {
        start = std::min(start, it->first);
        end = std::max(end, it->second);
        it = ranges.erase(it);
    }
    ranges[start] = end;
}

bool FlashMemory::Covers(const RangeSet& ranges, uint64_t start, uint64_t end)
{
    auto it = ranges.upper_bound(start);
    return it != ranges.begin() && std::prev(it)->second >= end;
}

// Flash erases whole sectors: a range that ends inside one erases all of it.
bool FlashMemory::Erase(uint64_t start, uint64_t length)
{
    uint64_t end = length ? PageOf(start + length - 1) + kPageSize : start;
    start = PageOf(start);
    if (end > sim::kFlashCapacity)
        return false;
    for (uint64_t page = PageOf(start); page < end; page += kPageSize) {
        auto& bytes = m_pages[page];
        bytes.resize(kPageSize, kErasedByte);
        uint64_t from = std::max(page, start) - page;
        uint64_t to = std::min(page + kPageSize, end) - page;
        std::fill(bytes.begin() + from, bytes.begin() + to, kErasedByte);
    }
    if (length) {
        AddRange(m_erased, start, end);
        // Erasing takes back what was programmed there.
        RangeSet kept;
        for (auto [from, to] : m_programmed) {
            if (from < start)
                AddRange(kept, from, std::min(to, start));
            if (to > end)
                AddRange(kept, std::max(from, end), to);
        }
        m_programmed = std::move(kept);
    }
    return true;
}

bool FlashMemory::Program(uint64_t address, const uint8_t* data, size_t count)
{
    uint64_t end = address + count;
    if (!Covers(m_erased, address, end))
        return false;
    for (uint64_t at = address; at < end;) {
        uint64_t page = PageOf(at);
        uint64_t chunk = std::min(end, page + kPageSize) - at;
        std::copy(data + (at - address), data + (at - address) + chunk, m_pages[page].begin() + (at - page));
        at += chunk;
    }
    if (count)
        AddRange(m_programmed, address, end);
    return true;
}

std::vector<uint8_t> FlashMemory::Read(uint64_t address, size_t count) const
{
    std::vector<uint8_t> out(count, kErasedByte);
    for (size_t i = 0; i < count;) {
        uint64_t at = address + i;
        uint64_t page = PageOf(at);
        size_t chunk = std::min<uint64_t>(count - i, page + kPageSize - at);
        auto found = m_pages.find(page);
        if (found != m_pages.end())
            std::copy_n(found->second.begin() + (at - page), chunk, out.begin() + i);
        i += chunk;
    }
    return out;
}

std::vector<uint8_t> FlashMemory::ProgrammedRun(uint64_t start) const
{
    auto it = m_programmed.find(start);
    if (it == m_programmed.end())
        return {};
    return Read(start, it->second - start);
}

bool FlashMemory::WriteRunToFile(uint64_t start, const std::string& path) const
{
    std::vector<uint8_t> run = ProgrammedRun(start);
    std::string reason;
    return corvanetov::FileSave::Replace(path, run.data(), run.size(), reason, corvanetov::FileSave::Sync::None);
}
