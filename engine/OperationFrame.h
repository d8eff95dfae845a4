#pragma once

#include <cstdint>
#include <string>

#include "comm/HandsetClaim.h"
#include "comm/ScopedPortHold.h"
#include "engine/OperationFamily.h"
#include "engine/OperationSink.h"

namespace corvanetov::detail {

// What every engine operation that talks to the handset runs inside: its
// reports on its message family, the opening steps (MSL question, channel,
// identification), the offline step, the reset step, the end report, and
// the release of the port.
//
// The port, once opened, stays the operation's until it is released: the
// close and reopen of connection set-up leave no gap for another program
// (ScopedPortHold). Before anything is asked or sent the frame claims the
// handset (HandsetClaim) until that release, so that no other tool starts on
// it even where the port itself is let go of (a restart into download mode);
// a refused operation ends with the holder's name and has changed nothing.
// The frame lives on the operation's own thread.
//
// A step that fails sends the end report (with the operation error text)
// and returns false; the operation then just returns. The port is released
// exactly once: before the end report, so that the front end that handles
// it finds the port free, or else when the frame goes out of scope, however
// the operation left it (a stop, an early return, an exception). Once a stop
// was requested, every pause ends at once and no report goes out.
class OperationFrame {
public:
    // Whether the frame's steps name themselves in status texts.
    enum class Steps { Announced, Quiet };
    // Where the reset step names itself: before its first pause, just before
    // its first request, or not at all.
    enum class ResetText { None, BeforePause, AtFirstRequest };

    // activity: what the operation does with the handset, for the claim
    // that another tool is refused by ("flashing it").
    OperationFrame(const OperationFamily& family, const char* activity, Steps steps = Steps::Announced);
    ~OperationFrame();
    OperationFrame(const OperationFrame&) = delete;
    OperationFrame& operator=(const OperationFrame&) = delete;

    void Status(const std::string& text) const;
    void Progress(int32_t percent, int32_t param = 0) const;
    // A progress report of one pass of a transfer that also says how many
    // bytes of the whole transfer are done of how many.
    struct Transfer {
        uint64_t bytesDone;
        uint64_t bytesTotal;
        int32_t pass; // from 1
        int32_t passes;
    };
    void TransferProgress(int32_t percent, const Transfer& transfer, int32_t param = 0) const;
    // A report of a kind of the family's own (the phone information result).
    void Send(int32_t kind, const std::string& text = {}) const;

    // The usual opening: AskMsl, InitComPort, ConnectAndIdentify. Each of
    // them claims the handset first, if the frame has not yet done so. A
    // failed identification in a slot noted as holding a handset waiting in
    // download mode (DownloadModeNotes) says so; a handset identified there
    // drops the note, whichever handset it is.
    bool Open();
    // RequestMsl when the tool type is nonzero.
    bool AskMsl();
    bool InitComPort();
    bool ConnectAndIdentify();
    // Whether the handset just identified is the one first identified in
    // this operation (its ESN); where not, the error text says so.
    bool SameHandset();
    // A job of several operations: esn is its handset, as an earlier step
    // identified it, and this operation's first identification must find it
    // too (an empty esn asks nothing).
    void ExpectHandset(const std::string& esn) { m_esn = esn; }
    // The note that the handset's slot holds a handset waiting in download
    // mode: the one this operation identified (its ESN), or an unknown one.
    void NoteDownloadMode() const;
    void ForgetDownloadMode() const;
    bool NotedInDownloadMode() const;
    bool Unlock();
    // Up to 3 tries of the offline request; then the 3000 ms the handset
    // needs. When none is answered: one reset, the port released,
    // "Error in changing mode to OFFLINE", and pauseAfterFailureMs after the
    // end report.
    bool GoOffline(uint32_t pauseAfterFailureMs);
    // The end of the conversation: `requests` reset requests after a
    // 1000 ms pause, 1000 ms apart, then the port released.
    bool ResetHandset(int requests, ResetText text);
    // Ends the operation with one reset request: the error text, the end
    // report, then pauseAfterMs.
    void FailWithReset(const std::string& text, uint32_t pauseAfterMs);

    // The end report with this error text, or with the operation error
    // text as it stands.
    void Fail(const std::string& text);
    void Fail();
    // The end report of a success, on the family's end kind or on another of
    // its end kinds (the settings read's own).
    void Complete(const std::string& text);
    void Complete(int32_t kind, const std::string& text);
    // The end report on the family's end kind, as given.
    void End(OperationMessage::Outcome outcome, const std::string& text);

    // The handset leaves the bus to restart: the port is let go of, so that
    // it comes back under its own name, and held again from the next open.
    void LetGoWhileRestarting() { m_portHold.LetGo(); }

    bool Pause(uint32_t ms) const;
    static bool Stopped();

private:
    void Announce(const char* step) const;
    bool ClaimHandset();
    // Runs a step of connection set-up, named as a status text when a name
    // is given; its failure ends the operation.
    bool Step(const char* name, bool (*step)());
    void EndOn(int32_t kind, OperationMessage::Outcome outcome, const std::string& text);
    void ReleasePort();

    OperationFamily m_family;
    const char* m_activity;
    Steps m_steps;
    bool m_claimed = false;
    bool m_portTaken = false;
    bool m_portReleased = false;
    HandsetClaim m_claim;
    ScopedPortHold m_portHold;
    std::string m_esn; // of the first identification, or the job's handset
};

} // namespace corvanetov::detail
