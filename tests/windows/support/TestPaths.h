#pragma once

#include "ShippedIdentity.h"
#include "platform/OsCalls.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Where things are on the Windows a test runs on, asked of the real calls.

inline std::wstring TemporaryFolder()
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

// Where the launcher makes its staging folders, with a trailing backslash.
inline std::wstring StagingRoot()
{
    wchar_t windows[MAX_PATH];
    RealOs.GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring systemTemp = std::wstring(windows) + L"\\SystemTemp";
    const DWORD attributes = RealOs.GetFileAttributesW(systemTemp.c_str());
    return (attributes != INVALID_FILE_ATTRIBUTES ? systemTemp : std::wstring(windows) + L"\\Temp") + L"\\";
}

// A program of the system folder, e.g. cmd.exe or msiexec.exe.
inline std::wstring SystemProgram(const wchar_t* fileName)
{
    wchar_t folder[MAX_PATH];
    RealOs.GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + fileName;
}

// A program the build makes beside the test programs, in its payloads folder.
inline std::wstring BuiltPayloadProgram(const wchar_t* fileName)
{
    wchar_t self[MAX_PATH];
    RealOs.GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = self;
    return program.substr(0, program.find_last_of(L'\\') + 1) + L"..\\..\\payloads\\" + fileName;
}

// The product package folder of a product of the shipped vendor, with its
// trailing backslash.
inline std::wstring ProductPackageFolderPath(const std::wstring& productFolderName = Shipped::ProductFolderName)
{
    wchar_t folder[MAX_PATH];
    RealOs.SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\" + Shipped::VendorFolderName + L"\\" + Shipped::InstallersFolderName + L"\\" +
        productFolderName + L"\\";
}

// The driver package file in the shipped product's package folder.
inline std::wstring PackageFilePath()
{
    return ProductPackageFolderPath() + Shipped::PackageFileName;
}

// The folder of the support logs, with its trailing backslash.
inline std::wstring SupportLogFolderPath()
{
    return ProductPackageFolderPath() + L"Logs\\";
}

// The folders the launcher makes for its logs beside its staging folders
// when the product's Logs folder cannot be had, each with a trailing
// backslash.
inline std::vector<std::wstring> FallbackLogFolders()
{
    std::vector<std::wstring> folders;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(StagingRoot(), ignored)) {
        if (entry.path().filename().wstring().rfind(L"InstallerLauncher-Logs-", 0) == 0) {
            folders.push_back(entry.path().wstring() + L"\\");
        }
    }
    return folders;
}

// Runs a second apart in one test program would name their logs alike: each
// run starts with none, in the Logs folder or a fallback one.
inline void RemoveSupportLogs()
{
    std::error_code ignored;
    for (const auto& log : std::filesystem::directory_iterator(SupportLogFolderPath(), ignored)) {
        std::filesystem::remove(log.path(), ignored);
    }
    for (const std::wstring& folder : FallbackLogFolders()) {
        std::filesystem::remove_all(std::filesystem::path(folder), ignored);
    }
}

inline std::string ReadWholeFile(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
