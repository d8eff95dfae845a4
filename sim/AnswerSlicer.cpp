#include "sim/AnswerSlicer.h"

#include <algorithm>

namespace {
constexpr uint8_t kFlag = 0x7E;
} // namespace

std::vector<AnswerSlicer::Piece> AnswerSlicer::Slice(std::vector<uint8_t> answer)
{
    if (m_chunks)
        return InChunks(answer);
    if (!m_separateFlag || answer.size() < 2 || answer.back() != kFlag)
        return {{std::chrono::milliseconds(0), std::move(answer)}};
    answer.pop_back();
    return {{std::chrono::milliseconds(0), std::move(answer)}, {kFlagGap, {kFlag}}};
}

std::vector<AnswerSlicer::Piece> AnswerSlicer::InChunks(const std::vector<uint8_t>& answer)
{
    std::uniform_int_distribution<size_t> size(1, kMaxChunk);
    std::uniform_int_distribution<int> gap(0, static_cast<int>(kMaxChunkGap.count()));
    std::vector<Piece> pieces;
    std::chrono::milliseconds after(0);
    for (size_t from = 0; from < answer.size();) {
        size_t count = std::min(size(*m_chunks), answer.size() - from);
        pieces.push_back({after, {answer.begin() + static_cast<std::ptrdiff_t>(from), answer.begin() + static_cast<std::ptrdiff_t>(from + count)}});
        from += count;
        after += std::chrono::milliseconds(gap(*m_chunks));
    }
    return pieces;
}
