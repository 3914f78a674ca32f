#include "common/interrupt.h"

#include <algorithm>
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

#ifdef _WIN32

CRITICAL_SECTION g_lock;

class ListHeld {
public:
    ListHeld() { EnterCriticalSection(&g_lock); }
    ~ListHeld() { LeaveCriticalSection(&g_lock); }
    ListHeld(const ListHeld&) = delete;
    ListHeld& operator=(const ListHeld&) = delete;
};

// Runs on a thread of its own; the files were opened so that they can be
// removed while open.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    UINT status = kTerminatedStatus;
    if (event == CTRL_C_EVENT) {
        status = kInterruptedStatus;
    } else if (event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    EnterCriticalSection(&g_lock);
    for (const std::string& path : *g_temporaries) DeleteFileW(NativePath(path).c_str());
    ExitProcess(status);
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
extern "C" void OnSignal(int signal) {
    for (const std::string& path : *g_temporaries) unlink(path.c_str());
    _exit(128 + signal);
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
