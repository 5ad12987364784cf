/* endsession.exe CAPTION: ends the session for one program as Windows does at
 * log-off, and then leaves it no time: WM_QUERYENDSESSION and WM_ENDSESSION to
 * its visible top-level window whose caption starts with CAPTION, then the
 * program is suspended at once. Windows may end a program as soon as it has
 * answered WM_ENDSESSION; whatever it had not done by then stays undone here
 * too. Exit status 0 when the program was suspended, 1 when there is no such
 * window, 2 when it could not be suspended. */
#include <windows.h>

#include <stdio.h>

#include "findwindow.h"

typedef LONG(NTAPI *SuspendProcess)(HANDLE);

int main(int argc, char **argv)
{
    if (argc != 2)
        return 1;
    HWND found = windowCaptioned(argv[1]);
    if (!found)
        return 1;
    DWORD id = 0;
    GetWindowThreadProcessId(found, &id);
    HANDLE process = OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, id);
    SuspendProcess suspend
        = (SuspendProcess)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSuspendProcess");
    if (!process || !suspend)
        return 2;
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(found, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer);
    printf("WM_QUERYENDSESSION answered %d\n", (int)answer);
    SendMessageTimeoutA(found, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &answer);
    const LONG status = suspend(process);
    printf("WM_ENDSESSION answered, program suspended (status %ld)\n", status);
    return status == 0 ? 0 : 2;
}
