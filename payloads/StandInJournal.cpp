#include "StandInJournal.h"

#include "StandInFiles.h"
#include "StandInRun.h"
#include "StandInText.h"

#include <windows.h>

void AppendToJournal(const std::wstring& fileName, const std::wstring& parameters,
                     const std::wstring& workingDirectory)
{
    AppendLine(JournalPath, ToUtf8(fileName + L'\t' + parameters + L'\t' + workingDirectory + L'\t' +
                                   EnvironmentValue(L"TEMP") + L'\t' + EnvironmentValue(L"PATH") + L'\n'));
}
