#include "sim/FaultPlan.h"

namespace {
bool Matches(const std::map<int, unsigned>& faults, int code, unsigned ordinal)
{
    auto found = faults.find(code);
    return found != faults.end() && found->second == ordinal;
}

bool Reached(const std::map<int, unsigned>& faults, int code, unsigned ordinal)
{
    auto found = faults.find(code);
    return found != faults.end() && ordinal >= found->second;
}
} // namespace

void FaultPlan::NakBlock(unsigned block, uint8_t code)
{
    m_nakBlock = block;
    m_nakCode = code;
}

FaultPlan::Verdict FaultPlan::OnRequest(int code)
{
    unsigned ordinal = ++m_seen[code];
    Verdict verdict;
    auto drop = m_drop.find(code);
    verdict.drop = m_silent || (drop != m_drop.end() && ordinal <= drop->second) || Reached(m_dropFrom, code, ordinal);
    verdict.corrupt = Matches(m_corrupt, code, ordinal) || Reached(m_corruptFrom, code, ordinal);
    verdict.hangUp = Matches(m_hangUp, code, ordinal);
    verdict.refuse = Matches(m_refusePiece, code, ordinal) || Reached(m_refusePieceFrom, code, ordinal);
    verdict.reject = Reached(m_rejectFrom, code, ordinal);
    m_swapped = m_swapped || Reached(m_swapFrom, code, ordinal);
    return verdict;
}

void FaultPlan::NakFrom(unsigned block, uint8_t code)
{
    m_nakFrom = block;
    m_nakFromCode = code;
}

std::optional<uint8_t> FaultPlan::TakeBlockNak(unsigned block)
{
    if (m_nakFrom && block >= *m_nakFrom)
        return m_nakFromCode;
    if (!m_nakBlock || *m_nakBlock != block)
        return std::nullopt;
    m_nakBlock.reset();
    return m_nakCode;
}
