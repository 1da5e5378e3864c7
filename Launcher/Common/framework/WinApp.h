#pragma once

#include <windows.h>

#include <string>

// The application class of our own small framework. The one global object of a
// derived class registers itself on construction; the entry point records the
// start-up facts in it, sets the error mode and calls InitInstance once on the
// main thread. There is no message loop, so the process then ends with the
// result of ExitInstance.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The framework's own initialisation; nothing in this layer needs any.
    virtual BOOL InitInstance();

    // The exit code of the process: 0 unless the application set one with
    // SetExitCode, as a framework with a message loop would take it from the
    // quit message.
    virtual int ExitInstance();

    // A string resource of the application's module. Returns false, leaving
    // the text empty, when the string is missing or empty.
    bool LoadStringResource(UINT id, std::wstring& text) const;

    // The owner for a window of the application: its main window, which this
    // framework never has, so the thread's active window (normally none).
    HWND GetMainWindowHandle() const;

    HINSTANCE m_hInstance = nullptr;
    int m_nCmdShow = 0;
    // Points into the process command line: the arguments after the program's
    // name and the separators that follow it.
    const wchar_t* m_lpCmdLine = L"";

protected:
    void SetExitCode(int exitCode) { m_exitCode = exitCode; }
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode = 0;
};

// The application object, or null before it is constructed.
CWinApp* AfxGetApp();

// The framework's start-up, called by the process entry point; returns the
// process exit code.
int AfxWinMain(HINSTANCE instance, int showCommand);
