// Helpers shared by the JSON tests: parsing from wide or ANSI text, writing
// to std::wstring, comparing trees, and the bytes in use on the heap.
#pragma once
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "core/Win.h"
#include "data/Json.h"
#include "data/JsonHeap.h"
#include "data/NumberText.h"

namespace jsontest {

// The text in the thread's ANSI code page (936 in the test runs).
inline std::string ToAnsi(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// The conformance corpus kept in the source tree; "" when it is missing, so
// the tests that need it fail rather than pass on nothing.
inline std::string CorpusDir() {
    const char* dir = ZO_SOURCE_DIR "/tests/jsontestsuite";
    DWORD attributes = GetFileAttributesA(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::string();
    return dir;
}

inline std::set<std::string> ListJsonFiles(const std::string& dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "/*.json").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.insert(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

inline bool ReadFile(const std::string& path, std::string* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
    fclose(f);
    return true;
}

// Bytes of busy blocks on the C runtime heap, where every Json allocation
// lives. Callers walk it while no other thread of theirs runs, so it needs
// no lock.
inline size_t HeapBusyBytes() {
    HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = nullptr;
    size_t used = 0;
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
    return used;
}

// What is in use: the busy blocks less those JsonHeap keeps for reuse.
inline size_t HeapInUse() { return HeapBusyBytes() - zo::JsonHeap::CachedBytes(); }

inline bool ParseA(zo::Json& j, const std::string& bytes) {
    return j.ParseMbs(bytes.data(), static_cast<int>(bytes.size()));
}

inline bool ParseW(zo::Json& j, const std::wstring& text) {
    return j.Parse(text.data(), static_cast<unsigned>(text.size()));
}

inline std::wstring Write(const zo::Json& j, bool pretty) {
    zo::String out, indent;
    j.ToString(out, indent, pretty);
    return out.Handle() ? std::wstring(out.Handle(), out.Length()) : std::wstring();
}

inline std::wstring Str(const zo::Json& j) { return static_cast<const wchar_t*>(j); }

// Same kinds and contents; doubles are equal when they are written alike,
// since the written form keeps 16 digits.
inline bool SameTree(const zo::Json& a, const zo::Json& b) {
    if (a.GetKind() != b.GetKind()) return false;
    switch (a.GetKind()) {
    case zo::Json::KIND_NULL: return true;
    case zo::Json::KIND_BOOLEAN: return a.Boolean(false) == b.Boolean(false);
    case zo::Json::KIND_INTEGER: return a.Int64(0) == b.Int64(0);
    case zo::Json::KIND_DOUBLE: {
        wchar_t x[zo::kNumberTextRoom], y[zo::kNumberTextRoom];
        unsigned nx = zo::FormatDouble(a.Double(0), x), ny = zo::FormatDouble(b.Double(0), y);
        return nx == ny && memcmp(x, y, nx * sizeof(wchar_t)) == 0;
    }
    case zo::Json::KIND_STRING: return Str(a) == Str(b);
    case zo::Json::KIND_BINARY: {
        const void *pa, *pb;
        int na, nb;
        a.GetBinary(pa, &na);
        b.GetBinary(pb, &nb);
        return na == nb && (na == 0 || memcmp(pa, pb, static_cast<size_t>(na)) == 0);
    }
    case zo::Json::KIND_ARRAY:
        if (a.Count() != b.Count()) return false;
        for (unsigned i = 0; i < a.Count(); ++i)
            if (!SameTree(*a.GetArrayElm(static_cast<int>(i)), *b.GetArrayElm(static_cast<int>(i)))) return false;
        return true;
    case zo::Json::KIND_OBJECT:
        if (a.Count() != b.Count()) return false;
        for (unsigned i = 0; i < a.Count(); ++i) {
            const zo::Json::DICTION* ma = a.GetMember(i);
            const zo::Json::DICTION* mb = b.GetMember(i);
            if (!(ma->name == mb->name.Handle()) || !SameTree(*ma->value, *mb->value)) return false;
        }
        return true;
    }
    return false;
}

} // namespace jsontest
