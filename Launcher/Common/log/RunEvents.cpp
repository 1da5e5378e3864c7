#include "RunEvents.h"

#include "ExitCodeMeaning.h"
#include "LogLine.h"
#include "SupportLog.h"
#include "../ResultCodes.h"

namespace {

LogLevel LevelOf(bool succeeded)
{
    return succeeded ? LogLevel::Information : LogLevel::Warning;
}

// Deployment tools read a restart result as installed, so it is no error; it
// is a warning all the same, as the driver is not in use until the restart.
LogLevel LevelOfExitCode(std::int32_t exitCode)
{
    if (exitCode == 0) {
        return LogLevel::Information;
    }
    return exitCode == RestartRequired || exitCode == RestartInitiated ? LogLevel::Warning : LogLevel::Error;
}

}  // namespace

void LogStepStarted(const wchar_t* step)
{
    Log(LogLevel::Information, {L"step ", step, L" started"});
}

void LogStepEnded(const wchar_t* step, std::int32_t result)
{
    Log(LevelOf(result == 0), {L"step ", step, L" ended with result ", Decimal(result)});
}

void LogStepEnded(const wchar_t* step, bool succeeded)
{
    Log(LevelOf(succeeded), {L"step ", step, succeeded ? L" ended" : L" ended and failed"});
}

void LogProgramStarted(const std::wstring& commandLine, const std::wstring& workingFolder)
{
    Log(LogLevel::Information, {L"started ", commandLine, L" in ", workingFolder});
}

void LogProgramEnded(const std::wstring& program, std::int32_t result, std::uint64_t milliseconds)
{
    std::uint32_t fraction = 0;
    const auto seconds = DivideByShort(milliseconds, 1000, fraction);
    Log(LevelOf(result == 0), {program, L" ended with exit code ", Decimal(result), L" after ",
                                  Decimal(static_cast<std::int64_t>(seconds)), L".", Decimal(fraction, 3), L" s"});
}

void LogProgramNotStarted(const std::wstring& program, std::int32_t code)
{
    Log(LogLevel::Error, {program, L" could not be started (", Decimal(code), L")"});
}

void LogProcessEnded(const std::wstring& imageName, std::uint32_t processId)
{
    Log(LogLevel::Information, {L"ended process ", imageName, L" (process id ", Decimal(processId), L")"});
}

void LogProcessNotEnded(
    const std::wstring& imageName, std::uint32_t processId, const wchar_t* failedCall, std::uint32_t error)
{
    Log(LogLevel::Warning, {L"process ", imageName, L" (process id ", Decimal(processId), L") not ended: ", failedCall,
                               L" failed (", Decimal(error), L")"});
}

void LogEarlierProductRemoval(const std::wstring& productCode, std::int32_t result)
{
    Log(LevelOf(result == 0), {L"earlier product ", productCode, L" removal ended with ", Decimal(result)});
}

void LogSettingsBackup(const std::wstring& settingsKey, const std::wstring& backupKey, std::int32_t keys,
    std::int32_t values, bool complete)
{
    Log(LevelOf(complete), {L"settings backed up from HKLM\\", settingsKey, L" to HKLM\\", backupKey, L": ",
                               Decimal(keys), L" keys, ", Decimal(values), L" values",
                               complete ? L"" : L", not complete"});
}

void LogSettingsBackupReleased(bool released)
{
    Log(LevelOf(released), {released ? L"settings backup released" : L"settings backup not released completely"});
}

void LogPackageWritten(const std::wstring& resource, const std::wstring& path)
{
    Log(LogLevel::Information, {L"package ", resource, L" written to ", path});
}

void LogServiceNotInstalled(const wchar_t* serviceName)
{
    Log(LogLevel::Information, {L"device-monitor service ", serviceName, L" is not installed: nothing to notify"});
}

void LogExitCode(std::int32_t exitCode)
{
    Log(LevelOfExitCode(exitCode),
        {L"exit code ", Decimal(exitCode), L" (", ExitCodeMeaning(exitCode), L")"});
}
