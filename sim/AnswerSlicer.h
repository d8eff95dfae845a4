#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

// How an answer reaches the tool: in one write, or in pieces a moment
// apart, as a USB serial adapter hands a frame over in several packets. The
// moments are scaled as every delay is: at any time scale they outlast the
// tool's wait for the rest of a read, so that a piece can reach it as a read
// of its own, and stay well inside its time-outs.
class AnswerSlicer {
public:
    struct Piece {
        std::chrono::milliseconds after; // behind the answer's first piece
        std::vector<uint8_t> bytes;
    };

    // The closing flag of every framed answer in a write of its own.
    void SeparateClosingFlag() { m_separateFlag = true; }
    // Every answer in pieces of 1 to kMaxChunk bytes, each up to
    // kMaxChunkGap after the one before; the seed picks sizes and gaps, so a
    // run repeats.
    void RandomChunks(uint32_t seed) { m_chunks.emplace(seed); }

    std::vector<Piece> Slice(std::vector<uint8_t> answer);

    static constexpr size_t kMaxChunk = 24;
    static constexpr std::chrono::milliseconds kMaxChunkGap{150};
    static constexpr std::chrono::milliseconds kFlagGap{300};

private:
    std::vector<Piece> InChunks(const std::vector<uint8_t>& answer);

    bool m_separateFlag = false;
    std::optional<std::minstd_rand> m_chunks;
};
