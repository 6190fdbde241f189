#include "StopRequest.h"

#include <windows.h>

namespace {

HANDLE g_requested = nullptr;
HANDLE g_stopped = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    SetEvent(g_requested);
    // Closing the console, logging off or shutting down end the program as
    // soon as this returns: it waits (the system allows a few seconds) until
    // the last log lines are out.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_stopped, 4000);
    return TRUE;
}

} // namespace

void catchStopRequests()
{
    g_requested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void waitForStopRequest()
{
    WaitForSingleObject(g_requested, INFINITE);
}

void stoppedCleanly()
{
    SetEvent(g_stopped);
}
