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
