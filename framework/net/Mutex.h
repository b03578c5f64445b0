// Mutex owns one kernel mutex handle (usually named, so separate objects and
// processes share it); MutexLock holds a named mutex for one scope. Both
// close their handle on destruction.
#pragma once
#include "core/Base.h"
#include "core/Win.h"

namespace zo {

class Mutex : public _class {
public:
    Mutex() {}
    // Creates or opens the named mutex, not owned; the handle may be null.
    explicit Mutex(const wchar_t* name) : handle(CreateMutexW(nullptr, FALSE, name)) {}
    ~Mutex() { Close(); }

    HANDLE Handle() const { return handle; }
    // Creates or opens the named mutex, closing any handle held before.
    bool Create(const wchar_t* name, bool initialOwner);
    // Releases ownership; true on success.
    bool Signal() { return ReleaseMutex(handle) != FALSE; }
    // WaitForSingleObject's result (WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT...).
    DWORD Wait(DWORD ms) { return WaitForSingleObject(handle, ms); }
    // False when there is no handle; else whether closing it succeeded.
    bool Close();

private:
    HANDLE handle = nullptr;
};

// Waits for the named mutex on construction and releases it on destruction.
// When the wait times out the scope runs unguarded; Acquired() tells.
class MutexLock : public _class {
public:
    MutexLock(const wchar_t* name, DWORD ms);
    ~MutexLock();
    bool Acquired() const { return acquired; }

private:
    HANDLE handle = nullptr;
    bool acquired = false;
};

} // namespace zo
