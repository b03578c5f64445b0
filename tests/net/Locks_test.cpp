// Critical sections and named mutexes: exclusion between threads, scoped
// locks that release on leaving the scope, and handles closed once.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/CriticalSection.h"
#include "net/Mutex.h"

namespace {

bool TryFromOtherThread(zo::CriticalSection& cs) {
    bool entered = false;
    std::thread t([&] {
        entered = cs.TryLock();
        if (entered) cs.Unlock();
    });
    t.join();
    return entered;
}

TEST(CriticalSection, ExcludesOtherThreadsWhileHeld) {
    zo::CriticalSection cs;
    EXPECT_TRUE(TryFromOtherThread(cs));
    cs.Lock();
    EXPECT_FALSE(TryFromOtherThread(cs));
    EXPECT_TRUE(cs.TryLock()) << "the owner may enter again";
    cs.Unlock();
    EXPECT_FALSE(TryFromOtherThread(cs)) << "one level of ownership remains";
    cs.Unlock();
    EXPECT_TRUE(TryFromOtherThread(cs));
}

TEST(CriticalSection, ScopedLockLeavesOnScopeEnd) {
    zo::CriticalSection cs;
    {
        zo::LocalCriticalSection lock(cs);
        EXPECT_FALSE(TryFromOtherThread(cs));
    }
    EXPECT_TRUE(TryFromOtherThread(cs));
}

std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(L"zo-test-") + what + L"-" + std::to_wstring(GetCurrentProcessId());
}

DWORD WaitFromOtherThread(const std::wstring& name) {
    DWORD result = 0;
    std::thread t([&] {
        zo::Mutex m(name.c_str());
        result = m.Wait(0);
        if (result == WAIT_OBJECT_0) m.Signal();
    });
    t.join();
    return result;
}

TEST(Mutex, NamedMutexIsSharedAndReleasedBySignal) {
    std::wstring name = UniqueName(L"mutex");
    zo::Mutex m;
    EXPECT_FALSE(m.Close()) << "no handle yet";
    ASSERT_TRUE(m.Create(name.c_str(), true));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitFromOtherThread(name));
    EXPECT_TRUE(m.Signal());
    EXPECT_FALSE(m.Signal()) << "released already";
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitFromOtherThread(name));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), m.Wait(1000));
    EXPECT_TRUE(m.Signal());
    EXPECT_TRUE(m.Close());
    EXPECT_FALSE(m.Close());
}

TEST(Mutex, ScopedLockHoldsUntilScopeEnd) {
    std::wstring name = UniqueName(L"lock");
    {
        zo::MutexLock lock(name.c_str(), 1000);
        EXPECT_TRUE(lock.Acquired());
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitFromOtherThread(name));
    }
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitFromOtherThread(name));
}

} // namespace
