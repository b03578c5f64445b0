// The configuration registry and the Config handle. The registry list lives
// in the one-way process area and is never freed; its lock is made during
// static initialisation, before anyone can acquire.
#include "data/Config.h"

#include <new>

#include "core/ExecMemory.h"
#include "core/GlobalMemory.h"
#include "core/List.h"
#include "data/ConfigPath.h"

namespace zo {

namespace {

IMemory::CS registryLock;
List<ConfigObject*>* registry = nullptr;   // in acquisition order
thread_local bool threadHoldsLock = false;

List<ConfigObject*>* Registry() {
    if (!registry) registry = new (AllocGlobal(sizeof(List<ConfigObject*>))) List<ConfigObject*>();
    return registry;
}

// A missing file (or a folder in its place) gets an empty file, so that the
// first save finds one; the folder case fails harmlessly.
void CreateIfMissing(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    HANDLE file = CreateFileW(path, FILE_GENERIC_READ | FILE_GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

} // namespace

ConfigObject::ConfigObject() { InitializeCriticalSection(&lock); }

ConfigObject::~ConfigObject() { DeleteCriticalSection(&lock); }

ConfigObject* AcquireConfig() {
    IMemory::LCS hold(registryLock);
    List<ConfigObject*>* list = Registry();
    String path;
    ConfigPath(path);
    for (unsigned i = 0; i < list->Count(); ++i) {
        ConfigObject* known = (*list)[i];
        if (SameConfigPath(known->path.Handle(), path.Handle())) {
            ++known->references;
            return known;
        }
    }
    ConfigObject* object = new ConfigObject;
    if (!object) return nullptr;
    CreateIfMissing(path.Handle());
    // A file that cannot be read or parsed is not reported: the tree is
    // whatever the load left, and the window keeps its own position.
    object->root.LoadFile(path.Handle());
    object->path = path;
    list->Add(object);
    return object;
}

void ReleaseConfig(ConfigObject* object) {
    if (!object) return;
    IMemory::LCS hold(registryLock);
    if (--object->references > 0) return;
    List<ConfigObject*>* list = Registry();
    for (unsigned i = 0; i < list->Count(); ++i) {
        if ((*list)[i] == object) {
            list->Delete(i);
            break;
        }
    }
    delete object;
}

bool Config::Lock() {
    if (!_innerobj || threadHoldsLock) return false;
    EnterCriticalSection(&_innerobj->lock);
    threadHoldsLock = true;
    locked = true;
    return true;
}

void Config::Release() {
    ConfigObject* object = _innerobj;
    if (!object) return;
    _innerobj = nullptr;
    if (locked) {
        object->root.SaveFile(object->path.Handle());
        LeaveCriticalSection(&object->lock);
        threadHoldsLock = false;
        locked = false;
    }
    ReleaseConfig(object);
}

bool Config::ThreadHoldsLock() { return threadHoldsLock; }

} // namespace zo
