#include "MutexHolder.h"

#include "OsOverride.h"

#include <utility>

MutexHolder::MutexHolder(const wchar_t* name, SECURITY_ATTRIBUTES* security)
{
    holder_ = std::thread([this, name, security] {
        mutex_ = CreateMutexW(security, TRUE, name);
        SetEvent(owned_);
        WaitForSingleObject(ending_, INFINITE);
        if (ending == Ending::Released) {
            ReleaseMutex(mutex_);
        }
    });
    WaitForSingleObject(owned_, INFINITE);
}

MutexHolder::~MutexHolder()
{
    End(Ending::Released);
    holder_.join();
    CloseHandle(mutex_);
    CloseHandle(owned_);
    CloseHandle(ending_);
}

void MutexHolder::End(Ending how)
{
    if (how != Ending::Kept && ending == Ending::Kept) {
        ending = how;
        SetEvent(ending_);
    }
}

namespace {

struct Watch {
    std::function<void()> OnWait;
    int Waits = 0;
    OsEntry<&OsCallTable::WaitForSingleObject> Previous = nullptr;
};
Watch watch;

DWORD WINAPI WatchedWait(HANDLE handle, DWORD milliseconds)
{
    if (milliseconds != 0 && milliseconds != INFINITE) {
        ++watch.Waits;
        watch.OnWait();
    }
    return watch.Previous(handle, milliseconds);
}

}  // namespace

BoundedWaitWatch::BoundedWaitWatch(std::function<void()> onWait)
{
    watch = Watch{std::move(onWait), 0, std::exchange(Os.WaitForSingleObject, &WatchedWait)};
}

BoundedWaitWatch::~BoundedWaitWatch()
{
    Os.WaitForSingleObject = watch.Previous;
}

int BoundedWaitWatch::Waits() const
{
    return watch.Waits;
}
