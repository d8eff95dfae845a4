#pragma once

#include <cstdint>
#include <map>
#include <optional>

// The faults a test or a trainer asks the simulated handset for. The
// per-command faults count the requests of each command from the start of
// the run.
class FaultPlan {
public:
    struct Verdict {
        bool drop = false;    // no answer: the request is lost
        bool corrupt = false; // the answer's bytes are damaged on the line
        bool hangUp = false;  // the cable is pulled before the answer
        bool refuse = false;  // a roaming data write is answered as a bad piece
        bool reject = false;  // a diagnostic request is answered as a command the handset does not know
    };

    void DropFirst(int code, unsigned count) { m_drop[code] = count; }
    // The handset stops answering COMMAND from its nth request on.
    void DropFrom(int code, unsigned nth) { m_dropFrom[code] = nth; }
    void CorruptAnswer(int code, unsigned nth) { m_corrupt[code] = nth; }
    // Every answer to COMMAND from its nth request on is damaged: a noisy line.
    void CorruptFrom(int code, unsigned nth) { m_corruptFrom[code] = nth; }
    void HangUpAfter(int code, unsigned nth) { m_hangUp[code] = nth; }
    // The Nth roaming data write of this command is refused and not stored.
    void RefusePiece(int code, unsigned nth) { m_refusePiece[code] = nth; }
    void RefusePieceFrom(int code, unsigned nth) { m_refusePieceFrom[code] = nth; }
    // From the nth request of COMMAND on, the handset answers with the
    // bad-command answer, its negative acknowledgement.
    void RejectFrom(int code, unsigned nth) { m_rejectFrom[code] = nth; }
    // From the nth request of COMMAND on, another handset is in the port:
    // it answers with another ESN (Swapped).
    void SwapFrom(int code, unsigned nth) { m_swapFrom[code] = nth; }
    // No request of any kind is answered: a handset that is off or not there.
    void SetSilent(bool silent) { m_silent = silent; }
    // Block n (0-based, counted over every block request since download mode
    // began) is answered with code once.
    void NakBlock(unsigned block, uint8_t code);
    // Block request n and every one after it are answered with code: a
    // loader that never takes a block.
    void NakFrom(unsigned block, uint8_t code);
    void SetRefuseMsl(bool refuse) { m_refuseMsl = refuse; }
    void SetRefusePassword(bool refuse) { m_refusePassword = refuse; }

    // Counts one request of code and says what happens to it.
    Verdict OnRequest(int code);
    // The answer code for this block request, if it is one to refuse.
    std::optional<uint8_t> TakeBlockNak(unsigned block);

    bool Swapped() const { return m_swapped; }
    bool RefuseMsl() const { return m_refuseMsl; }
    bool RefusePassword() const { return m_refusePassword; }

private:
    std::map<int, unsigned> m_drop;
    std::map<int, unsigned> m_dropFrom;
    std::map<int, unsigned> m_corrupt;
    std::map<int, unsigned> m_hangUp;
    std::map<int, unsigned> m_refusePiece;
    std::map<int, unsigned> m_corruptFrom;
    std::map<int, unsigned> m_refusePieceFrom;
    std::map<int, unsigned> m_rejectFrom;
    std::map<int, unsigned> m_swapFrom;
    std::map<int, unsigned> m_seen;
    std::optional<unsigned> m_nakBlock;
    uint8_t m_nakCode = 0;
    std::optional<unsigned> m_nakFrom;
    uint8_t m_nakFromCode = 0;
    bool m_refuseMsl = false;
    bool m_refusePassword = false;
    bool m_silent = false;
    bool m_swapped = false;
};
