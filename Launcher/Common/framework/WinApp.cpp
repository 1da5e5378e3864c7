#include "WinApp.h"

#include "ProgramArguments.h"
#include "../platform/OsCalls.h"

namespace {

CWinApp* theApplication = nullptr;

}  // namespace

CWinApp::CWinApp()
{
    theApplication = this;
}

CWinApp::~CWinApp()
{
    if (theApplication == this) {
        theApplication = nullptr;
    }
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return m_exitCode;
}

bool CWinApp::LoadStringResource(UINT id, std::wstring& text) const
{
    text.clear();
    // A zero buffer size asks for a pointer to the resource text itself, so no
    // length limit of ours applies.
    const wchar_t* resourceText = nullptr;
    const int length = Os.LoadStringW(m_hInstance, id, reinterpret_cast<LPWSTR>(&resourceText), 0);
    if (length <= 0 || resourceText == nullptr) {
        return false;
    }
    text.assign(resourceText, static_cast<size_t>(length));
    return true;
}

HWND CWinApp::GetMainWindowHandle() const
{
    return Os.GetActiveWindow();
}

CWinApp* AfxGetApp()
{
    return theApplication;
}

int AfxWinMain(HINSTANCE instance, int showCommand)
{
    CWinApp* app = AfxGetApp();
    app->m_hInstance = instance;
    app->m_nCmdShow = showCommand;
    app->m_lpCmdLine = SkipProgramName(Os.GetCommandLineW());
    Os.SetErrorMode(Os.SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Without a message loop the result of InitInstance decides nothing: the
    // process always ends through ExitInstance.
    app->InitInstance();
    return app->ExitInstance();
}
