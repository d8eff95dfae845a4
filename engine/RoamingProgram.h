#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/OperationFrame.h"
#include "engine/RoamingProgramRequest.h"

namespace corvanetov {

// Writes a preferred roaming list or an ERI file into NAM1, NAM2 or both:
// the handset offline and unlocked, each chosen file read into its NAM's
// slot and sent in numbered pieces, then the handset reset. The two kinds
// differ only in their reader, command byte, message family and texts.
class RoamingProgram {
public:
    static void PrlProgramWorker(RoamingProgramRequest request);
    static void EriProgramWorker(RoamingProgramRequest request);
    // How many pieces carry a file of this many bytes.
    static uint32_t PieceCount(uint32_t size);

private:
    struct Kind;
    static const Kind kPrl;
    static const Kind kEri;

    explicit RoamingProgram(const Kind& kind);
    void Run(const RoamingProgramRequest& request);
    // The file into the NAM's slot; a refused file ends the operation after
    // the reader's message.
    bool Load(const std::string& path, int nam);
    std::string FailureText(const RoamingProgramRequest& request, const std::array<bool, 2>& written) const;
    // True when the write failed (or was stopped).
    bool WriteRoamingData(int nam);
    bool SendPieces(int nam, uint32_t pieces);
    // The piece sent until it is accepted, resent up to kRoamingResends times.
    bool DeliverPiece(uint32_t piece, int nam, uint32_t pieces);
    // One send and the wait for its answer: the wait's result.
    int SendAndWait(uint32_t piece, int nam);
    void SendRoamingPiece(uint32_t piece, int nam);
    bool Accepted(int waitResult) const;
    static void TraceResult(int waitResult);

    const Kind& m_kind;
    detail::OperationFrame m_frame;
    // The bytes the handset took of all the chosen files, for the reports
    // (and the service record) to say.
    uint64_t m_bytesDone = 0;
    uint64_t m_bytesTotal = 0;
};

} // namespace corvanetov
