// Json: one JSON value of eight kinds (null, boolean, integer, double,
// string, array, object, binary). A value owns its payload and, through it,
// every element and member; copies are deep and trees share nothing. Text
// form: ParseMbs (JsonReader.cpp) and ToString (JsonWriter.cpp).
#pragma once
#include "core/Base.h"
#include "core/Memory.h"
#include "core/ObjectList.h"
#include "core/String.h"
#include "data/JsonHeap.h"

namespace zo {

class Json : public _class {
public:
    enum Kind { KIND_NULL, KIND_BOOLEAN, KIND_INTEGER, KIND_DOUBLE, KIND_STRING, KIND_ARRAY,
                KIND_OBJECT, KIND_BINARY };

    // A String that can start on storage lent to it (see DICTION).
    class Name : public String {
    public:
        void Embed(wchar_t* storage, const wchar_t* text, unsigned n);
    };

    // One object member; its value always exists (null at first) and is
    // owned. A member, its first value (with a string value's text) and its
    // name's text share one allocation (objects are mostly small members,
    // and every allocation costs), so members are made only by Create.
    struct DICTION : public _class {
        Name name;
        Json* value;
        ~DICTION();
        // Members live in JsonHeap blocks of their own size.
        static void operator delete(void* p) noexcept;
        // The first n units of name (up to a U+0000) with a null value, or
        // with the text as its value when text is not null; null when
        // memory runs out.
        static DICTION* Create(const wchar_t* name, unsigned n, const wchar_t* text, unsigned textLength);

    private:
        friend class JsonReader;
        DICTION() {}
        Json* Embedded();
        // A member with room for payload bytes behind its value.
        static DICTION* Allocate(const wchar_t* name, unsigned n, size_t payload);
        // As Create, with an empty array or object (kind) as the value,
        // whose list header shares the member's block too.
        static DICTION* CreateWithList(const wchar_t* name, unsigned n, Kind kind);
    };

    // Values live in JsonHeap blocks of their own size (a value the reader
    // makes may carry its payload in its block).
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p) noexcept;
    static void* operator new(size_t, void* p) noexcept { return p; }
    static void operator delete(void*, void*) noexcept {}

    Json() { value.i = 0; }
    Json(bool v) { Init(KIND_BOOLEAN); value.b = v; }
    Json(int v) { Init(KIND_INTEGER); value.i = v; }
    Json(long long v) { Init(KIND_INTEGER); value.i = v; }
    Json(double v) { Init(KIND_DOUBLE); value.d = v; }
    Json(const wchar_t* text);
    Json(const char* text);           // thread ANSI code page
    Json(const Json& source);         // deep copy
    ~Json() { Release(); }

    Json& operator=(bool v);
    Json& operator=(int v);
    Json& operator=(long long v);
    Json& operator=(double v);
    Json& operator=(const wchar_t* text);   // null gives ""
    Json& operator=(const char* text);      // thread ANSI code page

    Kind GetKind() const { return static_cast<Kind>(kind); }
    bool IsNull() const { return kind == KIND_NULL; }
    bool IsBoolean() const { return kind == KIND_BOOLEAN; }
    bool IsInteger() const { return kind == KIND_INTEGER; }
    bool IsDouble() const { return kind == KIND_DOUBLE; }
    bool IsNumber() const { return kind == KIND_INTEGER || kind == KIND_DOUBLE; }
    bool IsString() const { return kind == KIND_STRING; }
    bool IsArray() const { return kind == KIND_ARRAY; }
    bool IsObject() const { return kind == KIND_OBJECT; }
    bool IsBinary() const { return kind == KIND_BINARY; }

    // Scalar readers: the Get form writes its output only on success, the
    // default form returns def when the kind does not fit, the conversion
    // operators return 0, false or "". Integers read as int keep their low
    // 32 bits. A double read as an integer is truncated toward zero and
    // clamped to the 64-bit range (NaN reads as 0) before that.
    bool GetBoolean(bool& out) const;
    bool Boolean(bool def) const;
    operator bool() const { return Boolean(false); }
    bool GetInt32(int& out) const;
    int Int32(int def) const;
    operator int() const { return Int32(0); }
    long long GetInt64(long long& out) const;   // 1 on success, else 0
    long long Int64(long long def) const;
    operator long long() const { return Int64(0); }
    bool GetDouble(double& out) const;
    double Double(double def) const;
    operator double() const { return Double(0.0); }
    bool GetString(const wchar_t*& out) const;
    const wchar_t* Str(const wchar_t* def) const;
    operator const wchar_t*() const;   // never null
    bool GetBinary(const void*& data, int* size) const;
    // Makes the value binary with a copy of size bytes; false when the bytes
    // cannot be allocated (the value is then an empty binary).
    bool SetBinary(const void* data, int size);

    // Member readers: the first member of that name, of a fitting kind.
    bool GetPropertyStr(const wchar_t* name, const wchar_t*& out) const;
    bool GetPropertyStr(const wchar_t* name, String& out) const;
    const wchar_t* PropertyStr(const wchar_t* name, const wchar_t* def) const;
    bool GetPropertyInt32(const wchar_t* name, int& out) const;
    int PropertyInt32(const wchar_t* name, int def) const;
    bool GetPropertyInt64(const wchar_t* name, long long& out) const;
    long long PropertyInt64(const wchar_t* name, long long def) const;
    bool GetPropertyBool(const wchar_t* name, bool& out) const;
    bool PropertyBool(const wchar_t* name, bool def) const;
    bool GetPropertyDouble(const wchar_t* name, double& out) const;
    double PropertyDouble(const wchar_t* name, double def) const;
    bool GetPropertyBinary(const wchar_t* name, const void*& data, int* size) const;
    const void* PropertyBinary(const wchar_t* name, int* size) const;

    // Member writers: make this an object if it is not one (a former value
    // is lost), add the member at the end if it is missing, set its value
    // and return it. They never add a second member of the same name.
    Json* SetPropertyNull(const wchar_t* name);
    Json* SetPropertyArray(const wchar_t* name);   // an existing array stays
    Json* SetPropertyStr(const wchar_t* name, const wchar_t* text);
    Json* SetPropertyMbs(const wchar_t* name, const char* text);
    Json* SetPropertyInt32(const wchar_t* name, int v);
    Json* SetPropertyInt64(const wchar_t* name, long long v);
    Json* SetPropertyDouble(const wchar_t* name, double v);
    Json* SetPropertyBool(const wchar_t* name, bool v);
    Json* SetPropertyBinary(const wchar_t* name, const void* data, int size);   // null on no memory

    // The value of the first member named name, or null. With create, a
    // missing member is appended (and a non-object first becomes an object).
    Json* FindProperty(const wchar_t* name, bool create);
    const Json* FindProperty(const wchar_t* name) const;

    // Elements (of an array) or members (of an object); 0 for other kinds.
    unsigned Count() const;
    const DICTION* GetMember(unsigned index) const;   // object members, null past the end

    // Array operations. Indexes compare unsigned with the count, so a
    // negative index is out of range; out of range gives null.
    Json* GetArrayElm(int index) const;
    Json* SetArrayElm(const Json& source, int index);   // deep copy into the element
    Json* AddArrayElm(int index);   // inserts null; at or past the end appends
    unsigned RemoveArrayElm(int index, int count);   // returns how many went
    bool GetArrayStr(const wchar_t*& out, int index) const;
    bool GetArrayInt32(int& out, int index) const;
    bool GetArrayInt64(long long& out, int index) const;
    bool GetArrayBool(bool& out, int index) const;
    bool GetArrayDouble(double& out, int index) const;
    Json* SetArrayStr(const wchar_t* text, int index);
    Json* SetArrayMbs(const char* text, int index);
    Json* SetArrayBool(bool v, int index);
    Json* SetArrayInt32(int v, int index);
    Json* SetArrayInt64(long long v, int index);
    Json* SetArrayDouble(double v, int index);

    // On an object: FindProperty(name, true). On an array (or null, which
    // becomes an array): the element, appending nulls up to index. Where
    // there is no such element (another kind, a negative index) the result
    // is Nowhere().
    Json& operator[](const wchar_t* name);
    Json& operator[](int index);
    // The thread's scratch value that operator[] returns when there is no
    // element: null on every return, part of no tree, so writes to it are lost.
    static Json& Nowhere();

    // Releases the payload; the value becomes null.
    void Release();

    // Replaces the value with the parse of length bytes of text in the
    // thread's ANSI code page. False when the text is malformed; the value
    // then holds a partial tree that callers should release.
    bool ParseMbs(const char* data, int length);
    // The same for UTF-16 text, read up to length units or the first U+0000.
    bool Parse(const wchar_t* text, unsigned length);
    // Replaces out with the text of the value: compact (one line) or pretty
    // (TAB indentation, CR LF). indent is the running indentation: pass an
    // empty string, it comes back unchanged.
    void ToString(String& out, String& indent, bool pretty) const;

    // The value's file form: text in the thread's ANSI code page, without a
    // byte-order mark. LoadFile reads and parses the whole file (an empty
    // file is null) and leaves the value unchanged when the file cannot be
    // opened or read. SaveFile writes the pretty text and is true when bytes
    // were written. Both live in JsonFile.cpp.
    bool LoadFile(const wchar_t* path);
    bool SaveFile(const wchar_t* path) const;

    // Nesting of arrays and objects deeper than this fails to parse.
    static const unsigned kMaxDepth = 512;

private:
    friend class JsonReader;
    friend class JsonWriter;

    // The list of an array or an object. A small pointer array is a JsonHeap
    // block and goes back to its cache with the list, so the next tree's
    // lists take theirs from there instead of from the heap.
    template <class T>
    class List : public ObjectList<T> {
    public:
        ~List() {
            this->Clear();
            if (!this->memory.external) JsonHeap::Recycle(this->memory.data, this->memory.length * sizeof(T*));
            this->memory.data = nullptr;
            this->memory.length = 0;
        }
        // Fills the empty list with the n items in one allocation; false
        // (nothing taken) when memory runs out.
        bool Adopt(void* const* items, unsigned n) {
            if (n > this->memory.length) {
                if (this->memory.external) return false;
                size_t size = static_cast<size_t>(n) * sizeof(T*);
                void* block = JsonHeap::Take(size);
                if (!block) return false;
                JsonHeap::Recycle(this->memory.data, this->memory.length * sizeof(T*));
                this->memory.data = static_cast<T**>(block);
                this->memory.length = static_cast<unsigned>(JsonHeap::Room(size) / sizeof(T*));
            }
            if (n) memcpy(this->memory.data, items, n * sizeof(T*));
            this->count = n;
            return true;
        }
    };
    typedef List<Json> Array;
    typedef List<DICTION> Object;
    typedef Memory<unsigned char> Bytes;

    Json& operator=(const Json&) = delete;
    void Init(Kind k) {
        value.i = 0;
        kind = k;
    }
    void CopyFrom(const Json& source);
    Array* MakeArray();    // releases, attaches an empty array; null on no memory
    Object* MakeObject();
    // Makes the null value an empty array or object (kind) whose list header
    // is built on storage (a JsonHeap block, or Behind()).
    void AttachList(Kind kind, void* storage);
    // A value may have its payload right behind it in its own or its
    // member's block; Release frees a payload only when it lies elsewhere.
    void* Behind() { return this + 1; }
    // Puts the text's first n units (no U+0000 among them) behind the null
    // value as its string.
    void EmbedText(const wchar_t* text, unsigned n);
    // A heap value made with its payload in its block: an empty array or
    // object (kind), or the text's first n units (up to a U+0000) as a
    // string; null when memory runs out.
    static Json* NewWithList(Kind kind);
    static Json* NewWithText(const wchar_t* text, unsigned n);
    String* MakeString();  // reuses an existing string
    // Makes the value the text's first n units (up to a U+0000); false when
    // memory runs out.
    bool SetText(const wchar_t* text, unsigned n);
    Array* array() const { return static_cast<Array*>(value.p); }
    Object* object() const { return static_cast<Object*>(value.p); }
    String* string() const { return static_cast<String*>(value.p); }
    Bytes* bytes() const { return static_cast<Bytes*>(value.p); }
    Json* ArrayElement(int index) const;
    Json* SetElement(const Json& source, int index);
    static DICTION* AddMember(Object& o, const wchar_t* name, unsigned n, const wchar_t* text,
                              unsigned textLength);

    union {
        bool b;
        long long i;
        double d;
        void* p;
    } value;
    int kind = KIND_NULL;
};

} // namespace zo
