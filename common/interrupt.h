// Interrupts that leave nothing half written. Once a run watches for them,
// every temporary output it makes is recorded until it is in place or gone,
// and SIGINT or SIGTERM (on Windows Ctrl-C, Ctrl-Break or the console
// closing) removes what is recorded and ends the run with 128 + the
// signal's number. Outputs already in place stay.
#pragma once

#include <string>

inline constexpr int kInterruptedStatus = 130;  // 128 + SIGINT
inline constexpr int kTerminatedStatus = 143;   // 128 + SIGTERM

// From now on, for the rest of the run.
void WatchInterrupts();

// Holds interrupts back while it lives, so that what is done in its scope
// (an output moved into place and its line printed) is done whole.
// An interrupt that comes meanwhile takes effect when it ends.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// A temporary file about to be created, and one moved into place or removed.
// Nothing is recorded unless the run watches for interrupts.
void RecordTemporary(const std::string& path);
void ForgetTemporary(const std::string& path);
