// The untyped part of every Delegate: the owned list of thunks, and keeping
// running Calls on the right entry while the list changes under them.
#include "window/Delegate.h"

namespace zo {

_delegate::~_delegate() {
    FreeAll();
    for (Walk* w = walks; w; w = w->outer) w->next = kGone;
}

void _delegate::FreeAll() {
    for (unsigned i = 0; i < count; ++i) FreeThunk(memory.data[i]);
    count = 0;
}

bool _delegate::Delete(unsigned index) {
    if (index >= count) return false;
    FreeThunk(memory.data[index]);
    List<void*>::Delete(index, 1);
    for (Walk* w = walks; w; w = w->outer)
        if (index < w->next) --w->next;
    return true;
}

void _delegate::Clear() {
    FreeAll();
    for (Walk* w = walks; w; w = w->outer) w->next = 0;
}

unsigned _delegate::Insert(void* thunk, unsigned index) {
    if (!thunk) return NPOS;
    unsigned at = List<void*>::Add(thunk, index);
    if (at == NPOS) {
        FreeThunk(thunk);
        return NPOS;
    }
    for (Walk* w = walks; w; w = w->outer)
        if (at < w->next) ++w->next;
    return at;
}

unsigned _delegate::Find(const void* object, const void* target, bool byObject) const {
    for (unsigned i = 0; i < count; ++i) {
        const void* t = memory.data[i];
        if (ThunkTarget(t) == target && (!byObject || ThunkObject(t) == object)) return i;
    }
    return NPOS;
}

void _delegate::AssignFrom(const _delegate& other) {
    if (&other == this) return;
    FreeAll();
    if (other.count > memory.length) memory.SetLength(other.count);
    for (unsigned i = 0; i < other.count; ++i) Insert(CopyThunk(other.memory.data[i]), NPOS);
    // A running Call does not go on into the list that replaced its own.
    for (Walk* w = walks; w; w = w->outer) w->next = count;
}

} // namespace zo
