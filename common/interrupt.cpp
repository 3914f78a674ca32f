#include "common/interrupt.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "common/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace {

// The temporary files in progress; changed only while the interrupt
// cannot look at it (signals held, or the lock taken).
std::vector<std::string>* g_temporaries = nullptr;
// Scopes that hold interrupts back, and the status of one that came meanwhile.
std::atomic<int> g_held{0};
std::atomic<int> g_pending{0};

#ifdef _WIN32

CRITICAL_SECTION g_lock;

class ListHeld {
public:
    ListHeld() { EnterCriticalSection(&g_lock); }
    ~ListHeld() { LeaveCriticalSection(&g_lock); }
    ListHeld(const ListHeld&) = delete;
    ListHeld& operator=(const ListHeld&) = delete;
};

// The files were opened so that they can be removed while open.
[[noreturn]] void RemoveAndExit(int status) {
    for (const std::string& path : *g_temporaries) DeleteFileW(NativePath(path).c_str());
    ExitProcess(static_cast<UINT>(status));
}

// Runs on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    int status = kTerminatedStatus;
    if (event == CTRL_C_EVENT) {
        status = kInterruptedStatus;
    } else if (event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    EnterCriticalSection(&g_lock);
    if (g_held > 0) {
        g_pending = status;
        LeaveCriticalSection(&g_lock);
        return TRUE;
    }
    RemoveAndExit(status);
}

#else

// Holds SIGINT and SIGTERM back while the list changes.
class ListHeld {
public:
    ListHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigprocmask(SIG_BLOCK, &held, &m_before);
    }
    ~ListHeld() { sigprocmask(SIG_SETMASK, &m_before, nullptr); }
    ListHeld(const ListHeld&) = delete;
    ListHeld& operator=(const ListHeld&) = delete;

private:
    sigset_t m_before;
};

// Only unlink and _exit: both may be called from a signal handler.
[[noreturn]] void RemoveAndExit(int status) {
    for (const std::string& path : *g_temporaries) unlink(path.c_str());
    _exit(status);
}

extern "C" void OnSignal(int signal) {
    if (g_held > 0) {
        g_pending = 128 + signal;
        return;
    }
    RemoveAndExit(128 + signal);
}

#endif

}  // namespace

void WatchInterrupts() {
    if (g_temporaries != nullptr) return;
    g_temporaries = new std::vector<std::string>();
#ifdef _WIN32
    InitializeCriticalSection(&g_lock);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

InterruptsHeld::InterruptsHeld() {
    ++g_held;
}

InterruptsHeld::~InterruptsHeld() {
    if (--g_held > 0 || g_pending == 0 || g_temporaries == nullptr) return;
    const ListHeld held;
    RemoveAndExit(g_pending);
}

void RecordTemporary(const std::string& path) {
    if (g_temporaries == nullptr) return;
    const ListHeld held;
    g_temporaries->push_back(path);
}

void ForgetTemporary(const std::string& path) {
    if (g_temporaries == nullptr) return;
    const ListHeld held;
    const auto found = std::find(g_temporaries->begin(), g_temporaries->end(), path);
    if (found != g_temporaries->end()) g_temporaries->erase(found);
}
