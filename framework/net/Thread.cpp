#include "net/Thread.h"

#include <cstdlib>
#include <cstring>

namespace zo {

bool Thread::Close() {
    if (!handle) return false;
    CloseHandle(handle);
    handle = nullptr;
    id = 0;
    return true;
}

bool Thread::Stop(DWORD exitCode) {
    if (!handle) return false;
    TerminateThread(handle, exitCode);
    return Close();
}

bool Thread::IsRunning() const {
    DWORD code = 0;
    return handle && GetExitCodeThread(handle, &code) && code == STILL_ACTIVE;
}

Thread::WithText::~WithText() { free(text); }

Thread::WithText* Thread::NewWithText(const char* text, int length) {
    WithText* record = new WithText;
    if (!record) return nullptr;
    record->length = length;
    if (text) {
        size_t n = length > 0 ? static_cast<size_t>(length) : strlen(text);
        record->text = static_cast<char*>(malloc(n + 1));
        if (!record->text) {
            delete record;
            return nullptr;
        }
        memcpy(record->text, text, n);
        record->text[n] = 0;
    }
    return record;
}

// Exit code 1 on both entries: the thread ran its member to the end.
DWORD WINAPI Thread::RunPlain(void* p) {
    Plain* record = static_cast<Plain*>(p);
    record->call.Procedure()();
    delete record;
    return 1;
}

DWORD WINAPI Thread::RunWithText(void* p) {
    WithText* record = static_cast<WithText*>(p);
    record->call.Procedure()(record->text, record->length);
    delete record;
    return 1;
}

bool Thread::Start(LPTHREAD_START_ROUTINE entry, void* record) {
    DWORD newId = 0;
    HANDLE h = CreateThread(nullptr, 0, entry, record, 0, &newId);
    if (!h) return false;
    handle = h;
    id = newId;
    return true;
}

} // namespace zo
