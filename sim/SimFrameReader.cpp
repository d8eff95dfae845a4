#include "sim/SimFrameReader.h"

#include <algorithm>
#include <cctype>

#include "diag/Crc16X25.h"
#include "diag/FrameCodec.h"
#include "sim/SimConstants.h"

using namespace corvanetov;

namespace {
constexpr uint8_t kBootBody1[] = {0xAA, 0xDD};
constexpr uint8_t kBootBody2[] = {0xAA, 0x1F, 0x00};
constexpr uint8_t kBootBody5[] = {0xAA, 0x9A};

template <size_t N>
bool SameBytes(const std::vector<uint8_t>& bytes, size_t from, const uint8_t (&body)[N])
{
    return bytes.size() - from == N && std::equal(body, body + N, bytes.begin() + from);
}

int BootCode(const std::vector<uint8_t>& segment)
{
    if (SameBytes(segment, 1, kBootBody1))
        return 1;
    if (SameBytes(segment, 1, kBootBody2))
        return 2;
    if (SameBytes(segment, 1, kBootBody5))
        return 5;
    return 0;
}
} // namespace

void SimFrameReader::Reset()
{
    m_segment.clear();
    m_overlong = false;
    m_skipLineFeed = false;
}

bool SimFrameReader::IsAtLine() const
{
    return m_segment.size() >= 2 && std::toupper(m_segment[0]) == 'A' && std::toupper(m_segment[1]) == 'T'
        && m_segment.size() <= sim::kMaxAtLine;
}

void SimFrameReader::Feed(const uint8_t* data, size_t count, std::vector<SimInput>& out)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = data[i];
        bool skip = m_skipLineFeed && byte == '\n';
        m_skipLineFeed = false;
        if (skip)
            continue;
        if (byte == FrameCodec::kFlag) {
            EndSegment(out);
            continue;
        }
        if (m_overlong)
            continue;
        if ((byte == '\r' || byte == '\n') && IsAtLine()) {
            SimInput input;
            input.kind = SimInput::Kind::AtCommand;
            input.text.assign(m_segment.begin(), m_segment.end());
            out.push_back(std::move(input));
            m_segment.clear();
            m_skipLineFeed = byte == '\r';
            continue;
        }
        m_segment.push_back(byte);
        if (m_segment.size() > sim::kMaxFrameBytes) {
            m_segment.clear();
            m_overlong = true;
            out.push_back({SimInput::Kind::Overlong, {}, {}, 0});
        }
    }
}

void SimFrameReader::EndSegment(std::vector<SimInput>& out)
{
    bool overlong = m_overlong;
    m_overlong = false;
    if (overlong || m_segment.empty()) {
        m_segment.clear();
        return;
    }
    SimInput input;
    size_t from = m_segment[0] == FrameCodec::kLead ? 1 : 0;
    if (from == 1 && (input.bootCode = BootCode(m_segment)) != 0) {
        input.kind = SimInput::Kind::BootCommand;
    } else {
        std::vector<uint8_t> body = FrameCodec::Unescape(m_segment.data() + from, m_segment.size() - from);
        if (body.size() < 3) {
            input.kind = SimInput::Kind::ShortFrame;
        } else {
            size_t length = body.size() - 2;
            uint16_t received = static_cast<uint16_t>(body[length] | body[length + 1] << 8);
            input.kind = Crc16X25::Compute(body.data(), length) == received ? SimInput::Kind::Frame : SimInput::Kind::BadCrc;
            body.resize(length);
            input.bytes = std::move(body);
        }
    }
    m_segment.clear();
    out.push_back(std::move(input));
}
