/* A stand-in for Windows' uiautomationcore.dll that listens as a screen reader
 * does: UiaClientsAreListening answers yes (Wine's answers no, and Qt then
 * raises nothing), and every event the program raises is written, one line
 * each, to uia.log beside this DLL, with the name of the element it is about:
 *
 *   notification NAME: TEXT
 *   event ID NAME
 *   property ID NAME: NEW VALUE (when it is text)
 *
 * Its rundll32 entry AskForRoot CAPTION asks the window whose caption starts
 * with CAPTION (findwindow.h) for its UI Automation root
 * (WM_GETOBJECT with UiaRootObjectId), as a screen reader does first: Qt
 * raises no event before a client has asked. */
#include <windows.h>

#include <oleauto.h>

#include "findwindow.h"

#define UIA_NAME_PROPERTY_ID 30005
#define UIA_ROOT_OBJECT_ID (-25)

/* The part of IRawElementProviderSimple that is used here. */
typedef struct Provider Provider;
typedef struct
{
    void *queryInterface, *addRef, *release, *getProviderOptions, *getPatternProvider;
    HRESULT(STDMETHODCALLTYPE *getPropertyValue)(Provider *, int, VARIANT *);
} ProviderVtbl;
struct Provider
{
    const ProviderVtbl *lpVtbl;
};

static HMODULE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

/* Appends TEXT (UTF-16) and a line end to uia.log in UTF-8. */
static void writeLine(const WCHAR *text)
{
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
        --length;
    lstrcpyW(path + length, L"uia.log");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char line[4096];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof line - 1, NULL, NULL);
    if (size > 0) {
        line[size - 1] = '\n';
        DWORD written;
        WriteFile(file, line, (DWORD)size, &written, NULL);
    }
    CloseHandle(file);
}

/* The element's name, or an empty string. */
static void nameOf(Provider *provider, WCHAR *name, int capacity)
{
    VARIANT value;
    VariantInit(&value);
    name[0] = 0;
    if (provider && SUCCEEDED(provider->lpVtbl->getPropertyValue(provider, UIA_NAME_PROPERTY_ID,
                                                                 &value))
        && value.vt == VT_BSTR && value.bstrVal)
        lstrcpynW(name, value.bstrVal, capacity);
    VariantClear(&value);
}

BOOL WINAPI UiaClientsAreListening(void)
{
    return TRUE;
}

HRESULT WINAPI UiaRaiseNotificationEvent(Provider *provider, int kind, int processing, BSTR text,
                                         BSTR activity)
{
    WCHAR name[512], line[2048];
    (void)kind, (void)processing, (void)activity;
    nameOf(provider, name, 512);
    wsprintfW(line, L"notification %s: %s", name, text ? text : L"");
    writeLine(line);
    return S_OK;
}

HRESULT WINAPI UiaRaiseAutomationEvent(Provider *provider, int id)
{
    WCHAR name[512], line[1024];
    nameOf(provider, name, 512);
    wsprintfW(line, L"event %d %s", id, name);
    writeLine(line);
    return S_OK;
}

HRESULT WINAPI UiaRaiseAutomationPropertyChangedEvent(Provider *provider, int id, VARIANT before,
                                                      VARIANT after)
{
    WCHAR name[512], line[2048];
    (void)before;
    nameOf(provider, name, 512);
    wsprintfW(line, L"property %d %s: %s", id, name,
              after.vt == VT_BSTR && after.bstrVal ? after.bstrVal : L"");
    writeLine(line);
    return S_OK;
}

HRESULT WINAPI UiaRaiseStructureChangedEvent(Provider *provider, int change, int *id, int length)
{
    (void)id, (void)length;
    WCHAR name[512], line[1024];
    nameOf(provider, name, 512);
    wsprintfW(line, L"structure %d %s", change, name);
    writeLine(line);
    return S_OK;
}

/* The answer to WM_GETOBJECT: a real client would now hold the provider. */
LRESULT WINAPI UiaReturnRawElementProvider(HWND window, WPARAM wParam, LPARAM lParam,
                                           Provider *provider)
{
    WCHAR name[512], line[1024];
    (void)window, (void)wParam, (void)lParam;
    nameOf(provider, name, 512);
    wsprintfW(line, L"root %s", name);
    writeLine(line);
    return 0;
}

HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, Provider **provider)
{
    (void)window;
    *provider = NULL;
    return E_NOTIMPL;
}

HRESULT WINAPI UiaDisconnectProvider(Provider *provider)
{
    (void)provider;
    return S_OK;
}

HRESULT WINAPI UiaDisconnectAllProviders(void)
{
    return S_OK;
}

void CALLBACK AskForRoot(HWND window, HINSTANCE instance, LPSTR arguments, int show)
{
    WCHAR line[128];
    (void)window, (void)instance, (void)show;
    HWND found = windowCaptioned(arguments);
    if (found) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(found, WM_GETOBJECT, 0, UIA_ROOT_OBJECT_ID, SMTO_BLOCK, 10000, &answer);
    }
    wsprintfW(line, L"asked %d window(s) for their root", found ? 1 : 0);
    writeLine(line);
}
