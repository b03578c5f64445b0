// Thread: the handle and id of one thread started on a bound member. The
// Thread owns the handle only; releasing it (Close, destruction) leaves the
// thread running. The started thread owns its call thunk and arguments and
// frees them when the member returns.
#pragma once
#include "core/Base.h"
#include "core/Win.h"
#include "window/Function.h"

namespace zo {

class Thread : public _class {
public:
    Thread() {}
    ~Thread() { Close(); }

    HANDLE Handle() const { return handle; }
    DWORD GetID() const { return id; }
    // Releases the handle; false when there is none.
    bool Close();
    // Ends the thread at once with this exit code and releases the handle.
    bool Stop(DWORD exitCode);
    bool IsRunning() const;
    // Previous suspend count, or -1 on failure.
    int Pause() { return static_cast<int>(SuspendThread(handle)); }
    int Resume() { return static_cast<int>(ResumeThread(handle)); }
    DWORD Wait(DWORD ms) { return WaitForSingleObject(handle, ms); }

    // Runs object->member() on a new thread. False, and nothing started,
    // when this Thread already holds a handle or the thread cannot be made.
    template <class T, class M>
    bool StartThread(T* object, void (M::*member)()) {
        return !handle && Launch(new Plain, object, member, &RunPlain);
    }

    // Runs object->member(text, length) on a new thread. The bytes are copied
    // first (up to the first 0 when length is 0), so the caller's buffer may
    // go at once; the member gets the copy, 0-terminated, and length as given.
    template <class T, class M>
    bool StartThread(T* object, void (M::*member)(const char*, int), const char* text, int length) {
        return !handle && Launch(NewWithText(text, length), object, member, &RunWithText);
    }

private:
    struct Plain : _class {
        Function<void> call;
    };
    struct WithText : _class {
        ~WithText();
        Function<void, const char*, int> call;
        char* text = nullptr;
        int length = 0;
    };

    static WithText* NewWithText(const char* text, int length);
    static DWORD WINAPI RunPlain(void* record);
    static DWORD WINAPI RunWithText(void* record);
    // Binds the record's call and starts entry on it; the thread owns the
    // record from then on. On failure the record is freed here.
    template <class R, class T, class P>
    bool Launch(R* record, T* object, P member, LPTHREAD_START_ROUTINE entry) {
        if (!record) return false;
        if (record->call.Bind(object, member) && Start(entry, record)) return true;
        delete record;
        return false;
    }
    bool Start(LPTHREAD_START_ROUTINE entry, void* record);

    HANDLE handle = nullptr;
    DWORD id = 0;
};

} // namespace zo
