// Where the C++ runtime keeps the exceptions the launcher throws and the state
// of the one being handled. The runtime's own versions serve many threads: a
// pool of exceptions behind a lock, which draws in the threads library, and a
// state for each thread, which draws in an emulation of thread-local storage:
// 5.5 KB of a launcher that runs one thread, pushed to thousands of machines.
//
// The launcher throws only std::bad_alloc and std::bad_array_new_length, when
// the heap has no memory left: then the memory for the exception cannot come
// from the heap either, so one exception has room kept here, as the runtime
// keeps a pool for it. A second while that one is in flight ends the process,
// as the runtime's pool, once empty, does.
//
// A runtime helper of this kind that the launcher comes to use and that is not
// defined here draws in the runtime's versions of them all, and the link then
// fails with these defined twice: define it here too.
#include <cxxabi.h>
#include <unwind.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

// The header the runtime keeps in front of each exception, as the C++ ABI lays
// it out: a reference count, then the exception's record, which ends with the
// unwinder's own. 96 bytes on 32-bit Windows, 160 on 64-bit Windows.
struct RuntimeExceptionRecord {
    void* Type;
    void* Destructor;
    void* UnexpectedHandler;
    void* TerminateHandler;
    void* Next;
    int HandlerCount;
    int HandlerSwitchValue;
    const void* ActionRecord;
    const void* LanguageSpecificData;
    void* CatchTemp;
    void* AdjustedPointer;
    _Unwind_Exception UnwindHeader;
};
struct RuntimeExceptionHeader {
    int ReferenceCount;
    RuntimeExceptionRecord Record;
};

// The runtime finds the header just before the exception, so any larger room
// works. A multiple of 16 keeps the exception aligned as the runtime's own
// allocation aligns it.
constexpr std::size_t HeaderRoom = 256;
static_assert(sizeof(RuntimeExceptionHeader) <= HeaderRoom, "the runtime's exception header needs more room");
// Room for an exception of the standard library's allocation failures, which
// hold no more than their table of virtual functions.
constexpr std::size_t KeptExceptionRoom = 2 * sizeof(void*);

alignas(16) unsigned char keptException[HeaderRoom + KeptExceptionRoom];
bool keptExceptionInUse = false;

// What the runtime records of the exceptions being handled: two words,
// zero before the first throw. Kept as words so that its layout, which is the
// runtime's, is not restated here.
void* handlingState[4];

}  // namespace

namespace __cxxabiv1 {

extern "C" {

void* __cxa_allocate_exception(std::size_t thrownSize) noexcept
{
    auto* block = static_cast<unsigned char*>(std::malloc(HeaderRoom + thrownSize));
    if (block == nullptr) {
        if (keptExceptionInUse || thrownSize > KeptExceptionRoom) {
            std::terminate();
        }
        keptExceptionInUse = true;
        block = keptException;
    }
    std::memset(block, 0, HeaderRoom);
    return block + HeaderRoom;
}

void __cxa_free_exception(void* thrown) noexcept
{
    unsigned char* block = static_cast<unsigned char*>(thrown) - HeaderRoom;
    if (block == keptException) {
        keptExceptionInUse = false;
        return;
    }
    std::free(block);
}

__cxa_eh_globals* __cxa_get_globals() noexcept
{
    return reinterpret_cast<__cxa_eh_globals*>(handlingState);
}

__cxa_eh_globals* __cxa_get_globals_fast() noexcept
{
    return reinterpret_cast<__cxa_eh_globals*>(handlingState);
}

}  // extern "C"

}  // namespace __cxxabiv1
