// Object<T>: a counted reference to one heap T. Copies share the object; the
// last reference to go destroys it. Window creation parameters and font
// records are shared this way between the objects that use them.
#pragma once
#include "core/ObjectList.h"

namespace zo {

template <class T>
class Object {
public:
    Object() {}
    Object(const Object& other) { Share(other); }
    Object& operator=(const Object& other) {
        if (record != other.record) {
            Null();
            Share(other);
        }
        return *this;
    }
    ~Object() { Null(); }

    // Drops the present reference and holds `obj` (a new default T when null,
    // taken over either way) with a count of 1; false when nothing could be
    // allocated, which leaves the reference empty.
    bool New(T* obj = nullptr) {
        Null();
        Record* r = new (std::nothrow) Record;
        if (!r) {
            delete obj;
            return false;
        }
        r->obj = obj ? obj : NewObject<T>();
        if (!r->obj) {
            delete r;
            return false;
        }
        r->count = 1;
        record = r;
        return true;
    }

    // Drops the reference; the last one destroys the object.
    void Null() {
        Record* r = record;
        record = nullptr;
        if (r && --r->count == 0) {
            delete r->obj;
            delete r;
        }
    }

    bool IsNull() const { return record == nullptr; }
    T* Get() const { return record ? record->obj : nullptr; }
    T* operator->() const { return record->obj; }
    T& operator*() const { return *record->obj; }
    unsigned RefCount() const { return record ? record->count : 0; }

private:
    struct Record {
        T* obj;
        unsigned count;
    };

    void Share(const Object& other) {
        record = other.record;
        if (record) ++record->count;
    }

    Record* record = nullptr;
};

} // namespace zo
