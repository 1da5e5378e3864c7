#pragma once

#include <cstdint>
#include <string>

// The support log's account of a run, one function a kind of event, so that
// every line of a kind reads the same.

void LogStepStarted(const wchar_t* step);
void LogStepEnded(const wchar_t* step, std::int32_t result);
void LogStepEnded(const wchar_t* step, bool succeeded);

// A program started: its whole command line and working folder; how it
// ended: its result (exit code, or the failing call's code) and the time it
// took, in milliseconds.
void LogProgramStarted(const std::wstring& commandLine, const std::wstring& workingFolder);
void LogProgramEnded(const std::wstring& program, std::int32_t result, std::uint64_t milliseconds);
void LogProgramNotStarted(const std::wstring& program, std::int32_t code);

void LogProcessEnded(const std::wstring& imageName, std::uint32_t processId);
// A listed process left running: the call that failed and its error code.
void LogProcessNotEnded(
    const std::wstring& imageName, std::uint32_t processId, const wchar_t* failedCall, std::uint32_t error);
// A machine without the device-monitor service has nothing to be told.
void LogServiceNotInstalled(const wchar_t* serviceName);
void LogEarlierProductRemoval(const std::wstring& productCode, std::int32_t result);

// The settings backup: the keys (below HKEY_LOCAL_MACHINE) and how many keys
// and values went into the backup.
void LogSettingsBackup(const std::wstring& settingsKey, const std::wstring& backupKey, std::int32_t keys,
    std::int32_t values, bool complete);
void LogSettingsBackupReleased(bool released);

void LogPackageWritten(const std::wstring& resource, const std::wstring& path);

// The run's last line: "exit code <decimal> (<meaning>)", an error only for
// a result deployment tools read as failed.
void LogExitCode(std::int32_t exitCode);
