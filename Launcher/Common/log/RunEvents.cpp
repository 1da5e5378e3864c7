#include "RunEvents.h"

#include "ExitCodeMeaning.h"
#include "SupportLog.h"

namespace {

std::wstring Number(std::int64_t value)
{
    return std::to_wstring(value);
}

void Info(const std::wstring& message)
{
    Log(LogLevel::Information, message);
}

}  // namespace

void LogStepStarted(const wchar_t* step)
{
    Info(std::wstring(L"step ") + step + L" started");
}

void LogStepEnded(const wchar_t* step, std::int32_t result)
{
    Log(result == 0 ? LogLevel::Information : LogLevel::Warning,
        std::wstring(L"step ") + step + L" ended with result " + Number(result));
}

void LogStepEnded(const wchar_t* step, bool succeeded)
{
    Log(succeeded ? LogLevel::Information : LogLevel::Warning,
        std::wstring(L"step ") + step + (succeeded ? L" ended" : L" ended and failed"));
}

void LogProgramStarted(const std::wstring& commandLine, const std::wstring& workingFolder)
{
    Info(L"started " + commandLine + L" in " + workingFolder);
}

void LogProgramEnded(const std::wstring& program, std::int32_t result, std::uint64_t milliseconds)
{
    Log(result == 0 ? LogLevel::Information : LogLevel::Warning,
        program + L" ended with exit code " + Number(result) + L" after " + Number(milliseconds / 1000) + L"." +
            std::to_wstring(1000 + milliseconds % 1000).substr(1) + L" s");
}

void LogProgramNotStarted(const std::wstring& program, std::int32_t code)
{
    Log(LogLevel::Error, program + L" could not be started (" + Number(code) + L")");
}

void LogProcessEnded(const std::wstring& imageName, std::uint32_t processId)
{
    Info(L"ended process " + imageName + L" (process id " + Number(processId) + L")");
}

void LogEarlierProductRemoval(const std::wstring& productCode, std::int32_t result)
{
    Log(result == 0 ? LogLevel::Information : LogLevel::Warning,
        L"earlier product " + productCode + L" removal ended with " + Number(result));
}

void LogSettingsBackup(const std::wstring& settingsKey, const std::wstring& backupKey, std::int32_t keys,
    std::int32_t values, bool complete)
{
    Log(complete ? LogLevel::Information : LogLevel::Warning,
        L"settings backed up from HKLM\\" + settingsKey + L" to HKLM\\" + backupKey + L": " + Number(keys) +
            L" keys, " + Number(values) + L" values" + (complete ? L"" : L", not complete"));
}

void LogSettingsBackupReleased(bool released)
{
    Log(released ? LogLevel::Information : LogLevel::Warning,
        released ? L"settings backup released" : L"settings backup not released completely");
}

void LogPackageWritten(const std::wstring& resource, const std::wstring& path)
{
    Info(L"package " + resource + L" written to " + path);
}

void LogExitCode(std::int32_t exitCode)
{
    const char* meaning = ExitCodeMeaning(exitCode);
    Log(exitCode == 0 ? LogLevel::Information : LogLevel::Error,
        L"exit code " + Number(exitCode) + L" (" + std::wstring(meaning, meaning + std::char_traits<char>::length(meaning)) +
            L")");
}
