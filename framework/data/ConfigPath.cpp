// The configuration file's path and path equality. The executable's
// directory and base name are taken once (or from the path a test set) and
// kept in statics guarded by their own lock.
#include "data/ConfigPath.h"

#include <cstdlib>

#include "core/ExecMemory.h"
#include "core/Win.h"

namespace zo {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

unsigned TextLength(const wchar_t* text) {
    unsigned n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

// Everything before the last separator. The search starts at the
// second-to-last character, so a separator at the very end does not count.
unsigned DirectoryLength(const wchar_t* path, unsigned n) {
    if (n < 2) return 0;
    for (unsigned i = n - 1; i-- > 0;)
        if (IsSeparator(path[i])) return i;
    return 0;
}

// The last path component up to its last dot. Only the last component is
// searched for the dot: a dotted folder name (C:\my.tools\tool) must not
// lend its dot to an executable without extension.
void BaseNameRange(const wchar_t* path, unsigned n, unsigned& start, unsigned& end) {
    end = n;
    while (end > 0 && IsSeparator(path[end - 1])) --end;
    start = end;
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    for (unsigned i = end; i > start; --i) {
        if (path[i - 1] == L'.') {
            end = i - 1;
            break;
        }
    }
}

void SplitModulePath(const wchar_t* path, String& directory, String& base) {
    unsigned n = TextLength(path);
    directory = L"";
    directory.CopyText(path, DirectoryLength(path, n));
    unsigned start, end;
    BaseNameRange(path, n, start, end);
    base = L"";
    base.CopyText(path + start, end - start);
}

// directory + '\' + base + ".Json". Trailing dots can only come from the
// base name (the separator ends the text otherwise), so they go there.
void JoinConfigPath(const String& directory, const String& base, String& out) {
    unsigned dirLength = directory.Length();
    while (dirLength > 0 && IsSeparator(directory.Element(dirLength - 1))) --dirLength;
    const wchar_t* name = base.Handle();
    unsigned nameLength = base.Length();
    while (nameLength > 0 && IsSeparator(*name)) {
        ++name;
        --nameLength;
    }
    while (nameLength > 0 && name[nameLength - 1] == L'.') --nameLength;
    out = L"";
    if (dirLength > 0) {
        out.CopyText(directory.Handle(), dirLength);
        out += L"\\";
    }
    out.CopyText(name, nameLength);
    out += L".Json";
}

// The running executable's full path; the buffer grows for long paths
// instead of cutting them at MAX_PATH.
bool ExecutablePath(String& out) {
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        wchar_t* buffer = static_cast<wchar_t*>(malloc(size * sizeof(wchar_t)));
        if (!buffer) return false;
        DWORD n = GetModuleFileNameW(nullptr, buffer, size);
        bool done = n > 0 && n < size;
        if (done) {
            out = L"";
            out.CopyText(buffer, n);
        }
        free(buffer);
        if (done) return true;
        if (n == 0) return false;
    }
    return false;
}

struct ModuleParts {
    IMemory::CS lock;
    String directory;
    String base;
    bool known = false;
};

ModuleParts& Module() {
    static ModuleParts parts;
    return parts;
}

} // namespace

void MakeConfigPath(const wchar_t* modulePath, String& out) {
    String directory, base;
    SplitModulePath(modulePath, directory, base);
    JoinConfigPath(directory, base, out);
}

void ConfigPath(String& out) {
    ModuleParts& m = Module();
    IMemory::LCS hold(m.lock);
    if (!m.known) {
        String path;
        ExecutablePath(path);
        SplitModulePath(path.Handle(), m.directory, m.base);
        m.known = true;
    }
    JoinConfigPath(m.directory, m.base, out);
}

void SetConfigModulePath(const wchar_t* modulePath) {
    ModuleParts& m = Module();
    IMemory::LCS hold(m.lock);
    m.known = modulePath != nullptr;
    if (modulePath) SplitModulePath(modulePath, m.directory, m.base);
}

bool SameConfigPath(const wchar_t* a, const wchar_t* b) {
    unsigned na = TextLength(a), nb = TextLength(b);
    if (na < 2 || nb < 2) return false;
    if (IsSeparator(a[na - 1])) --na;
    if (IsSeparator(b[nb - 1])) --nb;
    if (na != nb) return false;
    for (unsigned i = 0; i < na; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x += L'a' - L'A';
        if (y >= L'A' && y <= L'Z') y += L'a' - L'A';
        if (x == y || (IsSeparator(x) && IsSeparator(y))) continue;
        return false;
    }
    return true;
}

} // namespace zo
