// The executable pool's allocator rules (on pools of their own), the process
// pool and its global block, and the two exhaustion paths, which end a child
// process after a message box.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/ExecMemory.h"
#include "core/GlobalMemory.h"
#include "support/Child.h"

using zo::ExecMemory;

namespace {

ExecMemory::Block* Header(void* payload) {
    return reinterpret_cast<ExecMemory::Block*>(static_cast<char*>(payload) - 12);
}

char* Alloc(ExecMemory& pool, unsigned size) { return static_cast<char*>(pool.Allocate(size)); }

TEST(ExecMemoryRules, FirstBlockSitsBehindTheHeaderAtBase) {
    ExecMemory pool;
    char stray[16];
    EXPECT_EQ(nullptr, pool.Allocate(10));   // not set up yet
    EXPECT_FALSE(pool.Free(stray + 12));
    ASSERT_TRUE(pool.Setup());
    EXPECT_FALSE(pool.Free(nullptr));
    EXPECT_FALSE(pool.Free(stray + 12));     // not inside the region
    char* base = reinterpret_cast<char*>(pool.Base());
    char* p = Alloc(pool, 7);
    EXPECT_EQ(base + 12, p);
    EXPECT_EQ(20u, Header(p)->size);   // 7 rounded to 8, plus the header
    EXPECT_EQ(0u, Header(p)->next);
    EXPECT_EQ(8u, pool.Total());
}

TEST(ExecMemoryRules, FreeingTheBlockAtBaseLeavesAPlaceholderThatIsReused) {
    ExecMemory pool;
    ASSERT_TRUE(pool.Setup());
    char* base = reinterpret_cast<char*>(pool.Base());
    char* a = Alloc(pool, 7);
    char* b = Alloc(pool, 30);
    EXPECT_EQ(a + 20, b);
    ASSERT_TRUE(pool.Free(a));
    EXPECT_EQ(0u, pool.Base()->size);
    EXPECT_EQ(0u, pool.Base()->prev);
    EXPECT_EQ(Header(b), pool.Next(pool.Base()));
    char* c = Alloc(pool, 8);   // exactly what the hole holds
    EXPECT_EQ(base + 12, c);
    EXPECT_EQ(Header(b), pool.Next(Header(c)));
    EXPECT_EQ(8u + 30 + 8, pool.Total());   // frees never lower it
}

TEST(ExecMemoryRules, SixtyFourKilobytesHoldTheLargestRequestOr2978TenByteBlocks) {
    ExecMemory whole;
    ASSERT_TRUE(whole.Setup());
    char* p = Alloc(whole, 65524);
    EXPECT_EQ(reinterpret_cast<char*>(whole.Base()) + 12, p);
    EXPECT_EQ(65536u, Header(p)->size);

    ExecMemory pool;
    ASSERT_TRUE(pool.Setup());
    char* base = reinterpret_cast<char*>(pool.Base());
    for (unsigned i = 0; i < 2978; ++i) ASSERT_EQ(base + 12 + 22 * i, Alloc(pool, 10)) << i;
    // 20 bytes are left: room for an 8-byte block, not a 10-byte one.
    EXPECT_EQ(base + 2978 * 22 + 12, Alloc(pool, 8));
}

TEST(ExecMemoryRules, The101stAllocationSearchesFromBase) {
    ExecMemory pool;
    ASSERT_TRUE(pool.Setup());
    std::vector<char*> blocks;
    for (int i = 0; i < 98; ++i) blocks.push_back(Alloc(pool, 10));
    ASSERT_TRUE(pool.Free(blocks[5]));     // a 10-byte hole behind blocks[4]
    char* big = Alloc(pool, 20);           // 99th: too big for the hole
    EXPECT_EQ(blocks[97] + 22, big);
    EXPECT_EQ(big + 32, Alloc(pool, 10));  // 100th: still from the cursor
    EXPECT_EQ(blocks[5], Alloc(pool, 10)); // 101st: from base, into the hole
    EXPECT_EQ(1u, pool.Count());
}

TEST(ExecMemoryRules, AFailedSearchStartsOnceMoreFromBase) {
    ExecMemory pool;
    ASSERT_TRUE(pool.Setup());
    char* a = Alloc(pool, 1000);
    char* b = Alloc(pool, 1000);
    char* c = Alloc(pool, 1000);
    ASSERT_TRUE(pool.Free(b));
    char* d = Alloc(pool, 2000);
    EXPECT_EQ(c + 1012, d);
    char* rest = Alloc(pool, 65536 - 3 * 1012 - 2012 - 12);   // fills the end exactly
    EXPECT_EQ(d + 2012, rest);
    EXPECT_EQ(b, Alloc(pool, 500));
    EXPECT_EQ(a + 1012, b);
}

TEST(ExecMemoryRules, FreeingALargeBlockMovesTheSmallCursorOnlyBackwards) {
    ExecMemory pool;
    ASSERT_TRUE(pool.Setup(8 * 65536));
    char* l1 = Alloc(pool, 102400);
    char* s1 = Alloc(pool, 10);
    char* l2 = Alloc(pool, 102400);
    char* s2 = Alloc(pool, 10);
    char* l3 = Alloc(pool, 102400);
    EXPECT_EQ(l1 + 102412, s1);
    EXPECT_EQ(s1 + 22, l2);
    EXPECT_EQ(l2 + 102412, s2);
    EXPECT_EQ(s2 + 22, l3);

    ASSERT_TRUE(pool.Free(s1));   // the small cursor goes back to l1
    ASSERT_TRUE(pool.Free(l3));   // its predecessor s2 lies beyond: no change
    EXPECT_EQ(s1, Alloc(pool, 10));
    char* s3 = Alloc(pool, 10);
    EXPECT_EQ(s2 + 22, s3);
    ASSERT_TRUE(pool.Free(l2));   // its predecessor s1 lies below: back to it
    EXPECT_EQ(l2, Alloc(pool, 10));
}

TEST(ExecMemoryRules, NoCursorStaysOnAFreedBlock) {
    ExecMemory pool;
    ASSERT_TRUE(pool.Setup(4 * 65536));
    char* l1 = Alloc(pool, 102400);
    char* s1 = Alloc(pool, 10);
    char* s2 = Alloc(pool, 10);
    char* l2 = Alloc(pool, 102400);
    ASSERT_TRUE(pool.Free(l2));   // the large cursor goes back to s2
    ASSERT_TRUE(pool.Free(s1));
    ASSERT_TRUE(pool.Free(s2));
    char* w = Alloc(pool, 40);    // its payload covers where s2's header was
    EXPECT_EQ(s1, w);
    memset(w, 0xFF, 40);
    EXPECT_EQ(w + 52, Alloc(pool, 102400));
    EXPECT_EQ(l1 + 102412, w);
}

// The process pool and the per-process block.

ExecMemory* Slot2(void* block) { return *reinterpret_cast<ExecMemory**>(static_cast<char*>(block) + 8); }

TEST(ProcessPool, IsRegisteredInSlot2OfTheBlockNamedAfterTheProcess) {
    ExecMemory* pool = zo::GetExecMemory();
    ASSERT_NE(nullptr, pool);
    EXPECT_EQ(pool, zo::GetExecMemory());
    EXPECT_FALSE(pool->IsNull());
    EXPECT_EQ(65536u, pool->Capacity());
    // Near the program's code, so thunks there can jump to it directly.
    uintptr_t code = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    uintptr_t at = reinterpret_cast<uintptr_t>(pool->Base());
    EXPECT_LT(at > code ? at - code : code - at, 0x40000000u) << std::hex << at << " " << code;

    void* block = zo::OpenGlobalBlock();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(pool, Slot2(block));

    wchar_t name[64];
    swprintf(name, 64, L"8BD31C4B59224BCA9EBA426CF248D1AB%08X", GetCurrentProcessId());
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    ASSERT_NE(nullptr, section) << "no section by the documented name";
    void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 4096);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(pool, Slot2(view));
    UnmapViewOfFile(view);
    CloseHandle(section);
}

ZO_CHILD_ROLE(fresh_block) {
    void* block = zo::OpenGlobalBlock();
    if (!block) return 2;
    if (Slot2(block)) return 3;   // another process's pool: the names collide
    ExecMemory* pool = zo::GetExecMemory();
    return Slot2(block) == pool && !pool->IsNull() ? 0 : 4;
}

TEST(ProcessPool, AnotherProcessHasABlockOfItsOwn) {
    ASSERT_NE(nullptr, zo::GetExecMemory());
    zotest::Child child;
    ASSERT_TRUE(child.Start("fresh_block"));
    EXPECT_EQ(0u, child.Wait(30000));
}

// Exhaustion: a box, then the process ends with a failure code.

const wchar_t kPoolText[] = L"预分配内存已经用尽，可能存在内存泄露，应该尽快释放不使用的内存。";

ZO_CHILD_ROLE(pool_oversized) {
    zo::GetExecMemory()->Allocate(65525);
    return 10;
}

ZO_CHILD_ROLE(pool_full) {
    ExecMemory* pool = zo::GetExecMemory();
    char* base = reinterpret_cast<char*>(pool->Base());
    for (unsigned i = 0; i < 2978; ++i)
        if (pool->Allocate(10) != base + 12 + 22 * i) return 11;
    pool->Allocate(10);
    return 12;
}

ZO_CHILD_ROLE(global_full) {
    char* a = static_cast<char*>(zo::AllocGlobal(40000));
    char* b = static_cast<char*>(zo::AllocGlobal(25536));
    if (b != a + 40000) return 13;
    memset(a, 1, 65536);
    zo::AllocGlobal(1);
    return 14;
}

struct Ending {
    const char* role;
    const wchar_t* caption;
    const wchar_t* text;
};

TEST(Exhaustion, ShowsItsBoxThenEndsTheProcessWithAFailureCode) {
    const Ending endings[] = {
        {"pool_oversized", L"Error", kPoolText},      // one past the largest request
        {"pool_full", L"Error", kPoolText},           // one block past the last that fits
        {"global_full", L"error", L"global memory exhaust"},   // one byte past the area
    };
    const unsigned n = sizeof(endings) / sizeof(endings[0]);
    zotest::Child children[n];   // all at once: each takes a while to show its box
    for (unsigned i = 0; i < n; ++i) ASSERT_TRUE(children[i].Start(endings[i].role));
    for (unsigned i = 0; i < n; ++i) {
        const Ending& e = endings[i];
        HWND box = zotest::WaitForMessageBox(children[i].Pid(), e.caption, 30000);
        ASSERT_NE(nullptr, box) << e.role << " showed no box; exit code " << children[i].Wait(0);
        EXPECT_EQ(std::wstring(e.text), zotest::MessageBoxText(box)) << e.role;
        zotest::CloseMessageBox(box);
    }
    // Closed first and waited for after: a box takes Wine a while to go away.
    for (unsigned i = 0; i < n; ++i)
        EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), children[i].Wait(30000)) << endings[i].role;
}

} // namespace
