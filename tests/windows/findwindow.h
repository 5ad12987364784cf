/* Finds a program's window as a person would: the first visible top-level
 * window whose caption starts with the text given. */
#pragma once

#include <windows.h>

#include <string.h>

static const char *wantedCaption;
static HWND foundWindow;

static BOOL CALLBACK visitWindow(HWND window, LPARAM unused)
{
    char text[512];
    (void)unused;
    if (IsWindowVisible(window) && GetWindowTextA(window, text, sizeof text) > 0
        && strncmp(text, wantedCaption, strlen(wantedCaption)) == 0) {
        foundWindow = window;
        return FALSE;
    }
    return TRUE;
}

/* The window, or NULL when there is none. */
static HWND windowCaptioned(const char *start)
{
    wantedCaption = start;
    foundWindow = NULL;
    EnumWindows(visitWindow, 0);
    return foundWindow;
}
