#include "StandInFiles.h"

namespace {

// About two seconds in all: enough to ride out another run's append or a
// test reading the file, short enough never to hang a test.
constexpr int MaxAttempts = 40;
constexpr DWORD RetryDelayMs = 50;

bool IsLocked(DWORD error)
{
    // A file about to be deleted or replaced refuses access for a moment too.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

template <typename Attempt>
bool RetryWhileLocked(Attempt attempt)
{
    for (int tries = 1;; ++tries) {
        if (attempt()) {
            return true;
        }
        if (!IsLocked(GetLastError()) || tries == MaxAttempts) {
            return false;
        }
        Sleep(RetryDelayMs);
    }
}

}  // namespace

HANDLE OpenSharedFile(const wchar_t* path, DWORD access, DWORD disposition)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    RetryWhileLocked([&] {
        file = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    return file;
}

bool WriteAll(HANDLE file, const void* bytes, DWORD size)
{
    return RetryWhileLocked([&] {
        DWORD written = 0;
        return WriteFile(file, bytes, size, &written, nullptr) && written == size;
    });
}

void AppendLine(const wchar_t* path, const std::string& line)
{
    CreateDirectoryW(StandInFolder, nullptr);
    // Append-only access makes each write land at the current end of the
    // file, so runs that overlap never overwrite each other's lines.
    HANDLE file = OpenSharedFile(path, FILE_APPEND_DATA, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    WriteAll(file, line.data(), static_cast<DWORD>(line.size()));
    CloseHandle(file);
}
