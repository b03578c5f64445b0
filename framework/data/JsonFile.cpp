// Json::LoadFile and Json::SaveFile: a value as a file of pretty text in the
// thread's ANSI code page. A save writes "<path>.tmp" beside the file and
// renames it over the file, so a crash never leaves it empty or cut short;
// only where that cannot be done is the file rewritten in place.
#include <climits>
#include <cstdlib>

#include "core/Win.h"
#include "data/Json.h"

namespace zo {

namespace {

// FILE_GENERIC_READ | FILE_GENERIC_WRITE (0x12019F). Asking for write access
// even to read keeps a read-only or foreign file out of both operations.
const DWORD kAccess = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
const DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Closes its handle; owns it.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    void Close() {
        if (IsOpen()) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle;
};

// Windows refuses write access to a read-only file for everyone; refusing
// it here too keeps such a file out of both operations where the system
// would let a privileged process through.
HANDLE OpenConfigFile(const wchar_t* path, DWORD disposition) {
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, kAccess, kShare, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadAll(HANDLE file, char* data, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, data + done, size - done, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

DWORD WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        DWORD put = 0;
        if (!WriteFile(file, data + done, size - done, &put, nullptr) || put == 0) break;
        done += put;
    }
    return done;
}

// The file as it used to be saved: cut to nothing, then written. Used only
// when the text cannot be put beside the file first (no right to create
// files in its folder, or the file cannot be replaced while others hold it).
bool WriteInPlace(const wchar_t* path, const char* text, DWORD size) {
    FileHandle file(OpenConfigFile(path, OPEN_ALWAYS));
    if (!file.IsOpen()) return false;
    LARGE_INTEGER zero = {};
    SetFilePointerEx(file.Get(), zero, nullptr, FILE_BEGIN);
    SetEndOfFile(file.Get());
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    return WriteAll(file.Get(), text, size) > 0;
}

enum class Staged { done, failed, notStaged };

// Writes the text to the temporary file, flushes it and renames it over the
// file, which therefore holds either the old or the new text at every
// moment. A failure to write the temporary file (a full disk) leaves the
// file alone: writing it in place would then most likely lose it.
Staged WriteBeside(const wchar_t* path, const char* text, DWORD size) {
    String temp(path);
    temp += L".tmp";
    // The new file takes the old one's visible attributes.
    DWORD keep = GetFileAttributesW(path);
    keep = keep == INVALID_FILE_ATTRIBUTES ? 0 : keep & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                          FILE_ATTRIBUTE_ARCHIVE |
                                                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    FileHandle file(CreateFileW(temp.Handle(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                keep ? keep : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return Staged::notStaged;
    bool written = WriteAll(file.Get(), text, size) == size && FlushFileBuffers(file.Get());
    file.Close();
    if (!written) {
        DeleteFileW(temp.Handle());
        return Staged::failed;
    }
    if (MoveFileExW(temp.Handle(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Staged::done;
    DeleteFileW(temp.Handle());
    return Staged::notStaged;
}

} // namespace

bool Json::LoadFile(const wchar_t* path) {
    FileHandle file(OpenConfigFile(path, OPEN_EXISTING));
    if (!file.IsOpen()) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > INT_MAX) return false;
    if (size.QuadPart == 0) {
        Release();
        return true;
    }
    DWORD n = static_cast<DWORD>(size.QuadPart);
    char* data = static_cast<char*>(malloc(n));
    if (!data) return false;
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    bool ok = ReadAll(file.Get(), data, n);
    if (ok) ok = ParseMbs(data, static_cast<int>(n));
    free(data);
    return ok;
}

bool Json::SaveFile(const wchar_t* path) const {
    // The file must be open to us as it is to LoadFile: a read-only file, a
    // folder or a file another process keeps to itself is not replaced.
    FileHandle check(OpenConfigFile(path, OPEN_ALWAYS));
    if (!check.IsOpen()) return false;
    check.Close();

    String text, indent;
    ToString(text, indent, true);
    Memory<char> bytes;
    int n = text.ToMultiByte(bytes);
    if (n <= 0) return false;
    DWORD size = static_cast<DWORD>(n);
    switch (WriteBeside(path, bytes.data, size)) {
    case Staged::done: return true;
    case Staged::failed: return false;
    case Staged::notStaged: break;
    }
    return WriteInPlace(path, bytes.data, size);
}

} // namespace zo
