// The configuration registry and the Config handle: one shared object per
// file however its path is spelt, counted references, the empty file made
// on first use, and the lock whose release writes the whole tree back.
#include <gtest/gtest.h>

#include <string>

#include "data/Config.h"
#include "data/ConfigPath.h"
#include "data/ConfigTestFiles.h"
#include "support/Wait.h"

using configtest::Exists;
using configtest::ReadBytes;
using configtest::TempFolder;
using configtest::WriteBytes;
using zo::Config;
using zo::ConfigObject;

namespace {

// Each test's configuration is <its folder>\tool.Json.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        path = folder.File(L"tool.Json");
        zo::SetConfigModulePath(folder.File(L"tool.exe").c_str());
    }
    void TearDown() override { zo::SetConfigModulePath(nullptr); }
    TempFolder folder;
    std::wstring path;
};

TEST_F(Registry, FirstUseCreatesAnEmptyFileAndLoadsNull) {
    ASSERT_FALSE(Exists(path));
    ConfigObject* o = zo::AcquireConfig();
    ASSERT_NE(nullptr, o);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ("", ReadBytes(path));
    EXPECT_TRUE(o->root.IsNull());
    EXPECT_STREQ(path.c_str(), o->path.Handle());
    EXPECT_EQ(1, o->references);
    zo::ReleaseConfig(o);
    EXPECT_EQ("", ReadBytes(path));   // the last release does not save
}

TEST_F(Registry, AnExistingFileIsLoaded) {
    ASSERT_TRUE(WriteBytes(path, "{\"a\":5}"));
    ConfigObject* o = zo::AcquireConfig();
    ASSERT_NE(nullptr, o);
    EXPECT_EQ(5, o->root.PropertyInt32(L"a", 0));
    zo::ReleaseConfig(o);
}

TEST_F(Registry, AFolderInPlaceOfTheFileGivesNullAndStaysAFolder) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    ConfigObject* o = zo::AcquireConfig();
    ASSERT_NE(nullptr, o);
    EXPECT_TRUE(o->root.IsNull());
    zo::ReleaseConfig(o);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(std::vector<std::wstring>{L"tool.Json"}, folder.Listing());
}

TEST_F(Registry, SpellingsOfOnePathShareOneObjectUntilTheLastRelease) {
    ASSERT_TRUE(WriteBytes(path, "{\"v\":1}"));
    ConfigObject* first = zo::AcquireConfig();
    ASSERT_NE(nullptr, first);

    std::wstring upper = folder.Path();
    for (auto& c : upper) c = c == L'\\' ? L'/' : towupper(c);
    zo::SetConfigModulePath((upper + L"/TOOL.exe").c_str());
    // Changed on disk while shared: the shared object is not read again.
    ASSERT_TRUE(WriteBytes(path, "{\"v\":2}"));
    ConfigObject* second = zo::AcquireConfig();
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, first->references);
    EXPECT_EQ(1, second->root.PropertyInt32(L"v", 0));

    zo::ReleaseConfig(second);
    EXPECT_EQ(1, first->references);
    zo::ReleaseConfig(first);
    // All references gone: the object went with them and the next use reads
    // the file afresh.
    ConfigObject* fresh = zo::AcquireConfig();
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(1, fresh->references);
    EXPECT_EQ(2, fresh->root.PropertyInt32(L"v", 0));
    zo::ReleaseConfig(fresh);
}

TEST_F(Registry, DifferentFilesHaveDifferentObjects) {
    ConfigObject* a = zo::AcquireConfig();
    zo::SetConfigModulePath(folder.File(L"other.exe").c_str());
    ConfigObject* b = zo::AcquireConfig();
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(1, a->references);
    EXPECT_EQ(1, b->references);
    zo::ReleaseConfig(b);
    zo::ReleaseConfig(a);
    EXPECT_TRUE(Exists(folder.File(L"other.Json")));
}

TEST_F(Registry, LockedHandleSavesTheWholeTreeOnRelease) {
    ASSERT_TRUE(WriteBytes(path, "{\"keep\":[1,2]}"));
    Config c;
    ASSERT_FALSE(c.IsNull());
    EXPECT_FALSE(Config::ThreadHoldsLock());
    ASSERT_TRUE(c.Lock());
    EXPECT_TRUE(Config::ThreadHoldsLock());
    c.Root().SetPropertyInt32(L"n", 3);
    c.Release();
    EXPECT_TRUE(c.IsNull());
    EXPECT_FALSE(Config::ThreadHoldsLock());
    EXPECT_EQ(configtest::Lines({"{", "\t\"keep\" : [", "\t\t1,", "\t\t2", "\t],", "\t\"n\" : 3", "}"}),
              ReadBytes(path));
    c.Release();   // a second release does nothing
}

TEST_F(Registry, UnlockedHandleDoesNotSave) {
    ASSERT_TRUE(WriteBytes(path, "{\"a\" :1}"));
    {
        Config c;
        ASSERT_FALSE(c.IsNull());
        EXPECT_FALSE(c.IsLocked());
    }
    EXPECT_EQ("{\"a\" :1}", ReadBytes(path));
}

TEST_F(Registry, NullTreeIsSavedAsNull) {
    {
        Config c;
        ASSERT_TRUE(c.Lock());
    }
    EXPECT_EQ("null", ReadBytes(path));
}

TEST_F(Registry, ASecondLockOnOneThreadIsRefusedAndLeavesTheFirstAlone) {
    Config outer;
    ASSERT_TRUE(outer.Lock());
    {
        Config inner;
        EXPECT_EQ(outer.Object(), inner.Object());
        EXPECT_FALSE(inner.Lock());
        EXPECT_FALSE(inner.IsLocked());
        outer.Root().SetPropertyInt32(L"x", 1);
    }
    // The inner release neither wrote nor gave up the outer lock.
    EXPECT_EQ("", ReadBytes(path));
    EXPECT_TRUE(Config::ThreadHoldsLock());
    ConfigObject* o = outer.Object();
    struct Probe {
        static DWORD WINAPI Try(void* p) {
            ConfigObject* obj = static_cast<ConfigObject*>(p);
            if (!TryEnterCriticalSection(&obj->lock)) return 1;
            LeaveCriticalSection(&obj->lock);
            return 0;
        }
    };
    HANDLE t = CreateThread(nullptr, 0, Probe::Try, o, 0, nullptr);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    DWORD heldElsewhere = 0;
    GetExitCodeThread(t, &heldElsewhere);
    CloseHandle(t);
    EXPECT_EQ(1u, heldElsewhere) << "the object's lock was free while the outer handle held it";
    outer.Release();
    EXPECT_EQ(configtest::Lines({"{", "\t\"x\" : 1", "}"}), ReadBytes(path));
}

// Another thread locking the same object waits for this one's release and
// then finds what this one saved; the flag belongs to each thread.
struct Contender {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG locked = 0;
    volatile LONG flagBefore = -1;
    int seen = 0;
    static DWORD WINAPI Run(void* p) {
        Contender* self = static_cast<Contender*>(p);
        Config c;
        self->flagBefore = Config::ThreadHoldsLock();
        SetEvent(self->started);
        if (!c.Lock()) return 1;
        InterlockedExchange(&self->locked, 1);
        self->seen = c.Root().PropertyInt32(L"n", 0);
        c.Root().SetPropertyInt32(L"n", self->seen + 1);
        return 0;
    }
};

TEST_F(Registry, LockSerialisesThreadsAndTheFlagIsPerThread) {
    Config mine;
    ASSERT_TRUE(mine.Lock());
    mine.Root().SetPropertyInt32(L"n", 10);
    Contender other;
    HANDLE t = CreateThread(nullptr, 0, Contender::Run, &other, 0, nullptr);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.started, 10000));
    EXPECT_EQ(0, other.flagBefore);
    // The other thread is now at (or inside) Lock and must stay out.
    EXPECT_FALSE(zotest::WaitUntil([&] { return other.locked != 0; }, 200));
    mine.Release();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    DWORD code = 9;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    CloseHandle(other.started);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(10, other.seen);
    EXPECT_EQ(configtest::Lines({"{", "\t\"n\" : 11", "}"}), ReadBytes(path));
}

} // namespace
