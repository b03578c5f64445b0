// The configuration file shared by everyone in the process: one ConfigObject
// per distinct path, counted and kept in a process-wide registry, and the
// scoped Config handle through which it is used. A handle that took the
// object's lock writes the whole tree back to the file when it is released.
#pragma once
#include "core/Base.h"
#include "core/String.h"
#include "core/Win.h"
#include "data/Json.h"

namespace zo {

// One loaded configuration file. The registry owns it; users reach it
// through Config handles and touch root only while holding lock.
class ConfigObject : public _class {
public:
    ConfigObject();
    ~ConfigObject();

    Json root;
    String path;
    CRITICAL_SECTION lock;
    LONG references = 1;   // guarded by the registry lock
};

// The shared object of the configuration file (ConfigPath), loaded on first
// use; a missing file is created empty. Null only when no memory is left.
ConfigObject* AcquireConfig();
// Drops one reference; the last one frees the object without saving it.
void ReleaseConfig(ConfigObject* object);

class Config : public _class {
public:
    Config() : _innerobj(AcquireConfig()) {}
    ~Config() { Release(); }

    bool IsNull() const { return _innerobj == nullptr; }
    ConfigObject* Object() const { return _innerobj; }

    // Enters the object's lock for this handle. A thread holds at most one
    // configuration lock: while it holds one (through any handle) this
    // fails and the handle stays unlocked, so it will neither save nor
    // leave a lock it never took.
    bool Lock();
    bool IsLocked() const { return locked; }
    // The tree; only while IsLocked().
    Json& Root() const { return _innerobj->root; }

    // Gives the object back. A locked handle first writes the whole tree to
    // the file (a failed write is not reported) and leaves the lock.
    void Release();

    // Whether this thread holds a configuration lock.
    static bool ThreadHoldsLock();

private:
    ConfigObject* _innerobj;
    bool locked = false;
};

} // namespace zo
