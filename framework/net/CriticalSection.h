// CriticalSection is the platform's critical-section record itself (not
// copyable, not movable once in use); LocalCriticalSection enters a borrowed
// section for one scope.
#pragma once
#include "core/Base.h"
#include "core/Win.h"

namespace zo {

class CriticalSection : public _class {
public:
    CriticalSection() { InitializeCriticalSection(&section); }
    ~CriticalSection() { DeleteCriticalSection(&section); }

    void Lock() { EnterCriticalSection(&section); }
    void Unlock() { LeaveCriticalSection(&section); }
    bool TryLock() { return TryEnterCriticalSection(&section) != FALSE; }

private:
    CRITICAL_SECTION section;
};

class LocalCriticalSection : public _class {
public:
    explicit LocalCriticalSection(CriticalSection& cs) : section(cs) { section.Lock(); }
    ~LocalCriticalSection() { section.Unlock(); }

private:
    CriticalSection& section;
};

} // namespace zo
