// The Json value: payload ownership, deep copies and the forgiving accessors.
// Arrays and objects grow their pointer lists one slot at a time (they are
// small); bulk additions here size the list once instead.
#include "data/Json.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Win.h"
#include "data/JsonHeap.h"

namespace zo {

namespace {

const wchar_t kEmptyText[] = L"";

// Truncates toward zero; out-of-range values stick to the ends, NaN gives 0.
long long DoubleToInt64(double d) {
    if (d != d) return 0;
    if (d >= 9223372036854775808.0) return LLONG_MAX;
    if (d <= -9223372036854775808.0) return LLONG_MIN;
    return static_cast<long long>(d);
}

int Low32(long long v) { return static_cast<int>(static_cast<unsigned>(v)); }

// While a list takes n more objects it grows by n slots at once, so a bulk
// addition costs one reallocation instead of n; then its own step returns.
template <class T>
class BulkAdd {
public:
    BulkAdd(ObjectList<T>& l, unsigned n) : list(l), step(l.step) {
        if (n) list.step = n;
    }
    ~BulkAdd() { list.step = step; }

private:
    ObjectList<T>& list;
    unsigned step;
};

// A string payload whose first buffer lies right behind it; a longer text
// later moves to a buffer of its own as with any String.
class InlineString : public String {
public:
    static size_t Size(unsigned n) { return sizeof(InlineString) + (n + 1) * sizeof(wchar_t); }

protected:
    InlineString(const wchar_t* text, unsigned n) {
        wchar_t* storage = reinterpret_cast<wchar_t*>(this + 1);
        if (n) memcpy(storage, text, n * sizeof(wchar_t));
        storage[n] = 0;
        handle = inner = storage;
        length = cubage = n;
    }
};

// An inline string in an allocation of its own, freed with it.
class EmbeddedString : public InlineString {
public:
    static String* Create(const wchar_t* text, unsigned n) {
        void* block = JsonHeap::TakeSized(Size(n));
        return block ? new (block) EmbeddedString(text, n) : nullptr;
    }
    static void operator delete(void* p) noexcept { JsonHeap::GiveSized(p); }

private:
    EmbeddedString(const wchar_t* text, unsigned n) : InlineString(text, n) {}
};

// An inline string behind its value in the value's or the member's block:
// that block's owner frees it, so deleting the string only destroys it.
class BlockString : public InlineString {
public:
    BlockString(const wchar_t* text, unsigned n) : InlineString(text, n) {}
    static void operator delete(void*) noexcept {}
};

// Units before the first U+0000, at most n.
unsigned TextLength(const wchar_t* text, unsigned n) {
    unsigned k = 0;
    while (k < n && text[k]) ++k;
    return k;
}

}   // namespace

namespace {
// JsonHeap's sized blocks are aligned for 8-byte fields, no more.
static_assert(alignof(Json) <= 8 && alignof(String) <= 8, "records need stronger alignment");
const size_t kEmbeddedAt = (sizeof(Json::DICTION) + alignof(Json) - 1) / alignof(Json) * alignof(Json);
}

Json* Json::DICTION::Embedded() {
    return reinterpret_cast<Json*>(reinterpret_cast<char*>(this) + kEmbeddedAt);
}

void Json::Name::Embed(wchar_t* storage, const wchar_t* text, unsigned n) {
    if (n) memcpy(storage, text, n * sizeof(wchar_t));
    storage[n] = 0;
    handle = inner = storage;
    length = cubage = n;
}

namespace {
// A member's block: the DICTION, its value, the value's payload (a string
// with its text, or a list header) when it has one, then the name's text.
const size_t kPayloadAt = kEmbeddedAt + sizeof(Json);
static_assert(kPayloadAt % alignof(String) == 0 && kPayloadAt % alignof(ObjectList<Json>) == 0 &&
                  sizeof(Json) % alignof(String) == 0 && sizeof(Json) % alignof(ObjectList<Json>) == 0,
              "a payload behind a value must be aligned");
}   // namespace

Json::DICTION* Json::DICTION::Allocate(const wchar_t* name, unsigned n, size_t payload) {
    n = name ? TextLength(name, n) : 0;
    const size_t nameAt = kPayloadAt + payload;
    char* block = static_cast<char*>(JsonHeap::TakeSized(nameAt + (n + 1) * sizeof(wchar_t)));
    if (!block) return nullptr;
    DICTION* m = new (block) DICTION();
    m->value = new (m->Embedded()) Json();
    m->name.Embed(reinterpret_cast<wchar_t*>(block + nameAt), name, n);
    return m;
}

Json::DICTION* Json::DICTION::Create(const wchar_t* name, unsigned n, const wchar_t* text, unsigned textLength) {
    textLength = text ? TextLength(text, textLength) : 0;
    DICTION* m = Allocate(name, n, text ? InlineString::Size(textLength) : 0);
    if (m && text) m->value->EmbedText(text, textLength);
    return m;
}

Json::DICTION* Json::DICTION::CreateWithList(const wchar_t* name, unsigned n, Kind kind) {
    static_assert(sizeof(Array) == sizeof(Object), "both list headers take the same room");
    DICTION* m = Allocate(name, n, sizeof(Array));
    if (m) m->value->AttachList(kind, m->value->Behind());
    return m;
}

// The block is freed by the operator delete below after this.
Json::DICTION::~DICTION() {
    if (value == Embedded())
        value->~Json();
    else
        delete value;
}

void Json::DICTION::operator delete(void* p) noexcept { JsonHeap::GiveSized(p); }

void* Json::operator new(size_t size) noexcept { return JsonHeap::TakeSized(size); }

void Json::operator delete(void* p) noexcept { JsonHeap::GiveSized(p); }

void Json::EmbedText(const wchar_t* text, unsigned n) {
    value.p = new (Behind()) BlockString(text, n);
    kind = KIND_STRING;
}

Json* Json::NewWithList(Kind k) {
    void* block = JsonHeap::TakeSized(sizeof(Json) + sizeof(Array));
    if (!block) return nullptr;
    Json* v = new (block) Json();
    v->AttachList(k, v->Behind());
    return v;
}

Json* Json::NewWithText(const wchar_t* text, unsigned n) {
    n = TextLength(text, n);
    void* block = JsonHeap::TakeSized(sizeof(Json) + InlineString::Size(n));
    if (!block) return nullptr;
    Json* v = new (block) Json();
    v->EmbedText(text, n);
    return v;
}

// Appends a new member (a null value, or the text when there is one); null
// when memory runs out.
Json::DICTION* Json::AddMember(Object& o, const wchar_t* name, unsigned n, const wchar_t* text,
                               unsigned textLength) {
    DICTION* m = DICTION::Create(name, n, text, textLength);
    if (m && o.AddIn(m) == NPOS) {
        delete m;
        return nullptr;
    }
    return m;
}

Json::Json(const wchar_t* text) : Json() { *this = text; }

Json::Json(const char* text) : Json() { *this = text; }

Json::Json(const Json& source) : _class() {
    value.i = 0;
    CopyFrom(source);
}

void Json::Release() {
    switch (kind) {
    case KIND_STRING: delete string(); break;
    case KIND_ARRAY:
        array()->~Array();
        if (value.p != Behind()) JsonHeap::Give(value.p, sizeof(Array));
        break;
    case KIND_OBJECT:
        object()->~Object();
        if (value.p != Behind()) JsonHeap::Give(value.p, sizeof(Object));
        break;
    case KIND_BINARY: delete bytes(); break;
    default: break;
    }
    kind = KIND_NULL;
    value.i = 0;
}

void Json::AttachList(Kind k, void* storage) {
    if (k == KIND_ARRAY) {
        Array* a = new (storage) Array();
        a->step = 1;
        value.p = a;
    } else {
        Object* o = new (storage) Object();
        o->step = 1;
        value.p = o;
    }
    kind = k;
}

Json::Array* Json::MakeArray() {
    Release();
    void* block = JsonHeap::Take(sizeof(Array));
    if (!block) return nullptr;
    AttachList(KIND_ARRAY, block);
    return array();
}

Json::Object* Json::MakeObject() {
    Release();
    void* block = JsonHeap::Take(sizeof(Object));
    if (!block) return nullptr;
    AttachList(KIND_OBJECT, block);
    return object();
}

String* Json::MakeString() {
    if (kind == KIND_STRING) return string();
    Release();
    String* s = new String();
    if (!s) return nullptr;
    value.p = s;
    kind = KIND_STRING;
    return s;
}

bool Json::SetText(const wchar_t* text, unsigned n) {
    n = text ? TextLength(text, n) : 0;
    if (kind == KIND_STRING) {
        String* s = string();
        *s = kEmptyText;
        if (n) s->CopyText(text, n, 0);
        return true;
    }
    Release();
    String* s = EmbeddedString::Create(text, n);
    if (!s) return false;
    value.p = s;
    kind = KIND_STRING;
    return true;
}

void Json::CopyFrom(const Json& source) {
    Release();
    switch (source.kind) {
    case KIND_STRING:
        SetText(source.string()->Handle(), source.string()->Length());
        break;
    case KIND_ARRAY: {
        const Array* from = source.array();
        Array* to = MakeArray();
        if (!to) break;
        BulkAdd<Json> bulk(*to, from->Count());
        for (unsigned i = 0; i < from->Count(); ++i) {
            Json* e = to->Add();
            if (e) e->CopyFrom(*from->Element(i));
        }
        break;
    }
    case KIND_OBJECT: {
        const Object* from = source.object();
        Object* to = MakeObject();
        if (!to) break;
        BulkAdd<DICTION> bulk(*to, from->Count());
        for (unsigned i = 0; i < from->Count(); ++i) {
            const DICTION* f = from->Element(i);
            DICTION* m = AddMember(*to, f->name.Handle(), f->name.Length(), nullptr, 0);
            if (!m) continue;
            m->value->CopyFrom(*f->value);
        }
        break;
    }
    case KIND_BINARY:
        SetBinary(source.bytes()->data, static_cast<int>(source.bytes()->Length()));
        break;
    default:
        value = source.value;
        kind = source.kind;
        break;
    }
}

// ---- scalars ----

Json& Json::operator=(bool v) {
    Release();
    Init(KIND_BOOLEAN);
    value.b = v;
    return *this;
}

Json& Json::operator=(int v) { return *this = static_cast<long long>(v); }

Json& Json::operator=(long long v) {
    Release();
    Init(KIND_INTEGER);
    value.i = v;
    return *this;
}

Json& Json::operator=(double v) {
    Release();
    Init(KIND_DOUBLE);
    value.d = v;
    return *this;
}

Json& Json::operator=(const wchar_t* text) {
    SetText(text, ~0u);
    return *this;
}

Json& Json::operator=(const char* text) {
    String* s = MakeString();
    if (!s) return *this;
    *s = kEmptyText;
    if (text && *text) s->FromMultiByte(text, static_cast<unsigned>(strlen(text)), CP_THREAD_ACP);
    return *this;
}

bool Json::GetBoolean(bool& out) const {
    if (kind != KIND_BOOLEAN) return false;
    out = value.b;
    return true;
}

bool Json::Boolean(bool def) const { return kind == KIND_BOOLEAN ? value.b : def; }

bool Json::GetInt32(int& out) const {
    long long v;
    if (!GetInt64(v)) return false;
    out = Low32(v);
    return true;
}

int Json::Int32(int def) const {
    GetInt32(def);
    return def;
}

long long Json::GetInt64(long long& out) const {
    if (kind == KIND_INTEGER)
        out = value.i;
    else if (kind == KIND_DOUBLE)
        out = DoubleToInt64(value.d);
    else
        return 0;
    return 1;
}

long long Json::Int64(long long def) const {
    GetInt64(def);
    return def;
}

bool Json::GetDouble(double& out) const {
    if (kind == KIND_DOUBLE)
        out = value.d;
    else if (kind == KIND_INTEGER)
        out = static_cast<double>(value.i);
    else
        return false;
    return true;
}

double Json::Double(double def) const {
    GetDouble(def);
    return def;
}

bool Json::GetString(const wchar_t*& out) const {
    if (kind != KIND_STRING) return false;
    const wchar_t* h = string()->Handle();
    out = h ? h : kEmptyText;
    return true;
}

const wchar_t* Json::Str(const wchar_t* def) const {
    GetString(def);
    return def;
}

Json::operator const wchar_t*() const { return Str(kEmptyText); }

bool Json::GetBinary(const void*& data, int* size) const {
    if (kind != KIND_BINARY) return false;
    data = bytes()->data;
    if (size) *size = static_cast<int>(bytes()->Length());
    return true;
}

bool Json::SetBinary(const void* data, int size) {
    if (kind != KIND_BINARY) {
        Release();
        Bytes* b = new (std::nothrow) Bytes();
        if (!b) return false;
        value.p = b;
        kind = KIND_BINARY;
    }
    unsigned n = size > 0 ? static_cast<unsigned>(size) : 0;
    if (!bytes()->SetLength(n)) {
        bytes()->SetLength(0);
        return false;
    }
    if (n) memcpy(bytes()->data, data, n);
    return true;
}

// ---- members ----

const Json* Json::FindProperty(const wchar_t* name) const {
    if (kind != KIND_OBJECT) return nullptr;
    const Object* o = object();
    for (unsigned i = 0; i < o->Count(); ++i)
        if (o->Element(i)->name == name) return o->Element(i)->value;
    return nullptr;
}

Json* Json::FindProperty(const wchar_t* name, bool create) {
    const Json* found = static_cast<const Json*>(this)->FindProperty(name);
    if (found || !create) return const_cast<Json*>(found);
    if (kind != KIND_OBJECT && !MakeObject()) return nullptr;
    DICTION* m = AddMember(*object(), name, ~0u, nullptr, 0);
    return m ? m->value : nullptr;
}

bool Json::GetPropertyStr(const wchar_t* name, const wchar_t*& out) const {
    const Json* p = FindProperty(name);
    return p && p->GetString(out);
}

bool Json::GetPropertyStr(const wchar_t* name, String& out) const {
    const wchar_t* text;
    if (!GetPropertyStr(name, text)) return false;
    out = text;
    return true;
}

const wchar_t* Json::PropertyStr(const wchar_t* name, const wchar_t* def) const {
    GetPropertyStr(name, def);
    return def;
}

bool Json::GetPropertyInt32(const wchar_t* name, int& out) const {
    const Json* p = FindProperty(name);
    return p && p->GetInt32(out);
}

int Json::PropertyInt32(const wchar_t* name, int def) const {
    GetPropertyInt32(name, def);
    return def;
}

bool Json::GetPropertyInt64(const wchar_t* name, long long& out) const {
    const Json* p = FindProperty(name);
    return p && p->GetInt64(out);
}

long long Json::PropertyInt64(const wchar_t* name, long long def) const {
    GetPropertyInt64(name, def);
    return def;
}

bool Json::GetPropertyBool(const wchar_t* name, bool& out) const {
    const Json* p = FindProperty(name);
    return p && p->GetBoolean(out);
}

bool Json::PropertyBool(const wchar_t* name, bool def) const {
    GetPropertyBool(name, def);
    return def;
}

bool Json::GetPropertyDouble(const wchar_t* name, double& out) const {
    const Json* p = FindProperty(name);
    return p && p->GetDouble(out);
}

double Json::PropertyDouble(const wchar_t* name, double def) const {
    GetPropertyDouble(name, def);
    return def;
}

bool Json::GetPropertyBinary(const wchar_t* name, const void*& data, int* size) const {
    const Json* p = FindProperty(name);
    return p && p->GetBinary(data, size);
}

const void* Json::PropertyBinary(const wchar_t* name, int* size) const {
    const void* data = nullptr;
    GetPropertyBinary(name, data, size);
    return data;
}

Json* Json::SetPropertyNull(const wchar_t* name) {
    Json* p = FindProperty(name, true);
    if (p) p->Release();
    return p;
}

Json* Json::SetPropertyArray(const wchar_t* name) {
    Json* p = FindProperty(name, true);
    if (p && !p->IsArray() && !p->MakeArray()) return nullptr;
    return p;
}

Json* Json::SetPropertyStr(const wchar_t* name, const wchar_t* text) {
    Json* p = FindProperty(name, true);
    if (p) *p = text;
    return p;
}

Json* Json::SetPropertyMbs(const wchar_t* name, const char* text) {
    Json* p = FindProperty(name, true);
    if (p) *p = text;
    return p;
}

Json* Json::SetPropertyInt32(const wchar_t* name, int v) { return SetPropertyInt64(name, v); }

Json* Json::SetPropertyInt64(const wchar_t* name, long long v) {
    Json* p = FindProperty(name, true);
    if (p) *p = v;
    return p;
}

Json* Json::SetPropertyDouble(const wchar_t* name, double v) {
    Json* p = FindProperty(name, true);
    if (p) *p = v;
    return p;
}

Json* Json::SetPropertyBool(const wchar_t* name, bool v) {
    Json* p = FindProperty(name, true);
    if (p) *p = v;
    return p;
}

Json* Json::SetPropertyBinary(const wchar_t* name, const void* data, int size) {
    Json* p = FindProperty(name, true);
    return p && p->SetBinary(data, size) ? p : nullptr;
}

// ---- elements ----

unsigned Json::Count() const {
    if (kind == KIND_ARRAY) return array()->Count();
    if (kind == KIND_OBJECT) return object()->Count();
    return 0;
}

const Json::DICTION* Json::GetMember(unsigned index) const {
    if (kind != KIND_OBJECT || index >= object()->Count()) return nullptr;
    return object()->Element(index);
}

Json* Json::ArrayElement(int index) const {
    if (kind != KIND_ARRAY || static_cast<unsigned>(index) >= array()->Count()) return nullptr;
    return array()->Element(static_cast<unsigned>(index));
}

Json* Json::GetArrayElm(int index) const { return ArrayElement(index); }

// The copy is made before the element is released, so source may be this
// array, the element itself or anything inside them.
Json* Json::SetElement(const Json& source, int index) {
    Json* e = ArrayElement(index);
    if (!e) return nullptr;
    Json copy(source);
    e->Release();
    e->value = copy.value;
    e->kind = copy.kind;
    copy.Init(KIND_NULL);
    return e;
}

Json* Json::SetArrayElm(const Json& source, int index) { return SetElement(source, index); }

Json* Json::AddArrayElm(int index) {
    if (kind == KIND_NULL && !MakeArray()) return nullptr;
    if (kind != KIND_ARRAY) return nullptr;
    return array()->Add(static_cast<unsigned>(index));
}

unsigned Json::RemoveArrayElm(int index, int count) {
    if (kind != KIND_ARRAY || count <= 0) return 0;
    return array()->Delete(static_cast<unsigned>(index), static_cast<unsigned>(count));
}

bool Json::GetArrayStr(const wchar_t*& out, int index) const {
    const Json* e = ArrayElement(index);
    return e && e->GetString(out);
}

bool Json::GetArrayInt32(int& out, int index) const {
    const Json* e = ArrayElement(index);
    if (!e || e->kind != KIND_INTEGER) return false;
    out = Low32(e->value.i);
    return true;
}

bool Json::GetArrayInt64(long long& out, int index) const {
    const Json* e = ArrayElement(index);
    if (!e || e->kind != KIND_INTEGER) return false;
    out = e->value.i;
    return true;
}

bool Json::GetArrayBool(bool& out, int index) const {
    const Json* e = ArrayElement(index);
    return e && e->GetBoolean(out);
}

bool Json::GetArrayDouble(double& out, int index) const {
    const Json* e = ArrayElement(index);
    if (!e || e->kind != KIND_DOUBLE) return false;
    out = e->value.d;
    return true;
}

Json* Json::SetArrayStr(const wchar_t* text, int index) { return SetElement(Json(text), index); }
Json* Json::SetArrayMbs(const char* text, int index) { return SetElement(Json(text), index); }
Json* Json::SetArrayBool(bool v, int index) { return SetElement(Json(v), index); }
Json* Json::SetArrayInt32(int v, int index) { return SetElement(Json(v), index); }
Json* Json::SetArrayInt64(long long v, int index) { return SetElement(Json(v), index); }
Json* Json::SetArrayDouble(double v, int index) { return SetElement(Json(v), index); }

namespace {
void WINAPI ReleaseScratch(void* value) { static_cast<Json*>(value)->Release(); }
}   // namespace

// This runtime may free a thread_local object's storage before it runs the
// object's destructor, so the scratch value has no destructor to run: a
// fiber-local slot's callback, which comes first when a thread ends,
// releases what it holds.
Json& Json::Nowhere() {
    alignas(Json) static thread_local unsigned char storage[sizeof(Json)];
    static thread_local bool made = false;
    Json* scratch = reinterpret_cast<Json*>(storage);
    if (!made) {
        new (scratch) Json();
        made = true;
        static const DWORD slot = FlsAlloc(&ReleaseScratch);
        DWORD error = GetLastError();
        if (slot != FLS_OUT_OF_INDEXES) FlsSetValue(slot, scratch);
        SetLastError(error);
    }
    scratch->Release();
    return *scratch;
}

Json& Json::operator[](const wchar_t* name) {
    Json* p = kind == KIND_OBJECT ? FindProperty(name, true) : nullptr;
    return p ? *p : Nowhere();
}

Json& Json::operator[](int index) {
    if (kind == KIND_NULL && !MakeArray()) return Nowhere();
    if (kind != KIND_ARRAY || index < 0) return Nowhere();
    Array* a = array();
    unsigned want = static_cast<unsigned>(index) + 1;
    BulkAdd<Json> bulk(*a, want > a->Count() ? want - a->Count() : 0);
    while (a->Count() < want)
        if (!a->Add()) return Nowhere();
    return *a->Element(static_cast<unsigned>(index));
}

} // namespace zo
