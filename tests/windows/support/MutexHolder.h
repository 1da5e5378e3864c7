#pragma once

#include "Interposer.h"

#include <functional>
#include <thread>
#include <utility>

// How a holder lets its mutex go: released, abandoned (its thread ends while
// it owns the mutex), or kept until the holder is destroyed.
enum class Ending { Released, Abandoned, Kept };

// Another program that owns a named mutex (another installation, another
// run of the launcher), played by a thread of the test that owns it until
// told how to end.
class MutexHolder {
public:
    // Made with these security attributes when nobody has made it yet.
    explicit MutexHolder(const wchar_t* name, SECURITY_ATTRIBUTES* security = nullptr);
    ~MutexHolder();
    MutexHolder(const MutexHolder&) = delete;
    MutexHolder& operator=(const MutexHolder&) = delete;

    void End(Ending how);

    Ending ending = Ending::Kept;

private:
    HANDLE mutex_ = nullptr;
    HANDLE owned_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ending_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder_;
};

// While it lives, each wait with a time limit the launcher makes first tells
// onWait: there a test ends the holder the launcher waits for, and notes
// what the launcher had done by then.
class BoundedWaitWatch : public CallObserver {
public:
    explicit BoundedWaitWatch(std::function<void()> onWait) : onWait_(std::move(onWait)) {}

    int Waits() const { return waits_; }

    std::optional<DWORD> Before(const ObservedCall& call) override
    {
        const DWORD limit = call.Id == OsCallId::WaitForSingleObject
                                ? std::get<1>(ArgumentsOf<&OsCallTable::WaitForSingleObject>(call))
                                : 0;
        if (limit != 0 && limit != INFINITE) {
            ++waits_;
            onWait_();
        }
        return std::nullopt;
    }

private:
    std::function<void()> onWait_;
    int waits_ = 0;
};
