// The per-process named block and the one-way area; both are kept until the
// process ends (their handles and memory are never released).
#include "core/GlobalMemory.h"

#include <atomic>
#include <cstdlib>


namespace zo {

void* OpenGlobalBlock() {
    // Named after the process id: every module of one process meets in the
    // same block, and no two processes share one.
    wchar_t name[] = L"8BD31C4B59224BCA9EBA426CF248D1AB00000000";
    const unsigned digits = 8;
    unsigned len = sizeof(name) / sizeof(name[0]) - 1;
    DWORD pid = GetCurrentProcessId();
    for (unsigned i = 0; i < digits; ++i)
        name[len - 1 - i] = L"0123456789ABCDEF"[(pid >> (4 * i)) & 0xF];

    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT,
                                        0, kGlobalBlockSize, name);
    if (!section) return nullptr;
    void* view = MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kGlobalBlockSize);
    if (!view) CloseHandle(section);
    return view;
}

void* AllocGlobal(unsigned size) {
    // Lock-free: the callers hold different creation locks, so a lock of
    // theirs cannot keep two of them apart.
    static std::atomic<char*> area{nullptr};
    static std::atomic<unsigned> used{0};
    const unsigned align = sizeof(void*);

    char* start = area.load(std::memory_order_acquire);
    if (!start) {
        char* fresh = static_cast<char*>(malloc(kGlobalAreaSize));
        if (!fresh) ExitWithMessage(L"global memory exhaust", L"error");
        if (area.compare_exchange_strong(start, fresh, std::memory_order_acq_rel))
            start = fresh;
        else
            free(fresh);   // another thread won; start now holds its area
    }
    unsigned old = used.load(std::memory_order_relaxed);
    unsigned at;
    do {
        at = (old + align - 1) & ~(align - 1);
        if (size > kGlobalAreaSize - at) ExitWithMessage(L"global memory exhaust", L"error");
    } while (!used.compare_exchange_weak(old, at + size, std::memory_order_relaxed));
    return start + at;
}

void ExitWithMessage(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR);
    ExitProcess(kPoolExhaustedExitCode);
}

} // namespace zo
