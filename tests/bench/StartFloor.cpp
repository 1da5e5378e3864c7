// The least a program with the launcher's imports and manifest pays to start
// and end: it loads the same system DLLs, registers the common controls as
// the launcher's first step does, and exits. The whole-run benchmark times it
// beside the launcher and the minimal program, to show what starting a program
// with these DLLs costs on this system.
#include <windows.h>
#include <commctrl.h>
#include <rpc.h>
#include <shlobj.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Never true when started by the benchmark: these calls only make the
    // program import the same DLLs as the launcher.
    if (commandLine[0] == L'?') {
        wchar_t folder[MAX_PATH];
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
        UUID guid;
        UuidCreate(&guid);
        HKEY key;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, folder, 0, KEY_READ, &key);
        MessageBoxW(GetActiveWindow(), folder, folder, MB_YESNO);
    }
    return 0;
}
