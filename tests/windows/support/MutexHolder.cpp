#include "MutexHolder.h"

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
