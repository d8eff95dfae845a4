#include "sim/FaultPlan.h"

namespace {
bool Matches(const std::map<int, unsigned>& faults, int code, unsigned ordinal)
{
    auto found = faults.find(code);
    return found != faults.end() && found->second == ordinal;
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
    auto dropFrom = m_dropFrom.find(code);
    verdict.drop = (drop != m_drop.end() && ordinal <= drop->second) || (dropFrom != m_dropFrom.end() && ordinal >= dropFrom->second);
    verdict.corrupt = Matches(m_corrupt, code, ordinal);
    verdict.hangUp = Matches(m_hangUp, code, ordinal);
    verdict.refuse = Matches(m_refusePiece, code, ordinal);
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
