// A stand-in for a runtime redistributable that leaves what the real one
// leaves: a product Windows Installer knows. It records its run like the
// plain stand-in, then installs the small package it carries (resource 1 of
// type "MSI"), so that its product code is registered as the real
// redistributable's is, and ends with Windows Installer's exit code.
#include "StandInFiles.h"
#include "StandInJournal.h"
#include "StandInRun.h"

#include <windows.h>

namespace {

bool WriteCarriedPackage(const std::wstring& path)
{
    const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(1), L"MSI");
    const HGLOBAL loaded = resource != nullptr ? LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return false;
    }
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = WriteAll(file, bytes, SizeofResource(nullptr, resource));
    CloseHandle(file);
    return written;
}

DWORD Install(const std::wstring& package)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = std::wstring(system) + L"\\msiexec.exe";
    std::wstring commandLine = L"\"" + program + L"\" /i \"" + package + L"\" /qn";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
            &child)) {
        return GetLastError();
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD exitCode = ERROR_INSTALL_FAILURE;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const std::wstring fileName = OwnFileName();
    AppendToJournal(fileName, Parameters(), WorkingDirectory());
    const std::wstring package = WorkingDirectory() + L"\\runtime.msi";
    if (!WriteCarriedPackage(package)) {
        return ERROR_INSTALL_FAILURE;
    }
    const DWORD result = Install(package);
    DeleteFileW(package.c_str());
    return static_cast<int>(result);
}
