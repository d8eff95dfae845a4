#pragma once

namespace corvanetov {

// Texts and numbers of the station: many handsets, one job each.
namespace station {
// The job's command line's exit statuses, as corvanetov-cli gives them.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Every child of one station run carries its id, so that the service
// records of one tray can be found together.
inline constexpr char kRunIdVariable[] = "CORVANETOV_STATION_RUN";

// A stopped job frees its port within the stop budget (under 100 ms); one
// that has not ended well after that is killed, and the kernel frees its port.
constexpr int kStopGraceMs = 2000;
// The listing is read again this often as well as on every change the
// folder's watch reports: a watch can miss a link that comes and goes.
constexpr int kRescanMs = 500;

inline constexpr char kStateWaiting[] = "waiting";
inline constexpr char kStateRunning[] = "running";
inline constexpr char kStateCompleted[] = "completed";
inline constexpr char kStateFailed[] = "failed";
inline constexpr char kStateStopped[] = "stopped";
inline constexpr char kStoppedInDownloadMode[] = "stopped; the handset is left in download mode (flash it with an EMERGENCY option)";
inline constexpr char kStoppedBeforeStart[] = "not started";
inline constexpr char kEndedBySignal[] = "the job ended without a result (signal %1)";
inline constexpr char kEndedWithStatus[] = "the job ended with status %1";
inline constexpr char kJobNotStarted[] = "the job could not be started: %1";
inline constexpr char kNoComNumber[] = "No free COM number: %1";
// The job's check loads its files (a software image of some megabytes).
constexpr int kCheckMs = 60000;
inline constexpr char kCheckNotEnded[] = "the job's check did not end within %1 s";
inline constexpr char kSameHandset[] = "not served: the same handset (ESN %1) as %2's row";
} // namespace station

} // namespace corvanetov
