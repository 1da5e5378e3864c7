#include "StandInJournal.h"

#include "StandInFiles.h"
#include "StandInText.h"

#include <windows.h>

void AppendToJournal(const std::wstring& fileName, const std::wstring& parameters,
                     const std::wstring& workingDirectory)
{
    const std::string line = ToUtf8(fileName + L'\t' + parameters + L'\t' + workingDirectory + L'\n');
    CreateDirectoryW(StandInFolder, nullptr);
    // Append-only access makes each write land at the current end of the
    // file, so runs that overlap never overwrite each other's lines.
    HANDLE journal = OpenSharedFile(JournalPath, FILE_APPEND_DATA, OPEN_ALWAYS);
    if (journal == INVALID_HANDLE_VALUE) {
        return;
    }
    WriteAll(journal, line.data(), static_cast<DWORD>(line.size()));
    CloseHandle(journal);
}
