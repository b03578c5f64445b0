#include "net/Mutex.h"

namespace zo {

bool Mutex::Create(const wchar_t* name, bool initialOwner) {
    Close();
    handle = CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, name);
    return handle != nullptr;
}

bool Mutex::Close() {
    if (!handle) return false;
    HANDLE h = handle;
    handle = nullptr;
    return CloseHandle(h) != FALSE;
}

MutexLock::MutexLock(const wchar_t* name, DWORD ms) : handle(CreateMutexW(nullptr, FALSE, name)) {
    if (!handle) return;
    DWORD r = WaitForSingleObject(handle, ms);
    // An abandoned mutex is still handed to us: its owner died holding it.
    acquired = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

MutexLock::~MutexLock() {
    if (!handle) return;
    // Releasing a mutex we never got would fail anyway; skipping it keeps
    // the last error of a timed-out wait intact for the caller.
    if (acquired) ReleaseMutex(handle);
    CloseHandle(handle);
}

} // namespace zo
