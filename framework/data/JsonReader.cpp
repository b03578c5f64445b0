// Json::ParseMbs: the lenient reader of the JSON dialect (optional commas,
// trailing text ignored, Unicode spaces, binary values in single quotes).
// Every received datagram passes through here, so it bounds its nesting and
// does no work that grows faster than the text. It owns one UTF-16 copy of
// the input and unescapes string bodies in place in it.
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Win.h"
#include "data/Base64.h"
#include "data/Json.h"
#include "data/NumberText.h"

namespace zo {

namespace {

bool IsSpace(wchar_t c) {
    if (c < 0x100) return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0xA0;
    return (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x3000;
}

bool IsTokenEnd(wchar_t c) { return c == L',' || c == L'}' || c == L']' || IsSpace(c); }

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The elements and members of the containers being read, innermost last.
// A container hands its own to its list when it closes (or fails), so the
// list's pointer array is allocated once, at its final size; a long flat
// array costs one allocation instead of one per doubling.
class Pending {
public:
    ~Pending() {
        if (items != local) free(items);
    }
    unsigned Count() const { return count; }
    void* const* From(unsigned base) const { return items + base; }
    void Drop(unsigned base) { count = base; }

    bool Push(void* item) {
        if (count == cubage && !Grow()) return false;
        items[count++] = item;
        return true;
    }

private:
    bool Grow() {
        if (cubage > 0x3FFFFFFFu) return false;
        unsigned c = cubage * 2;
        void** p = static_cast<void**>(malloc(c * sizeof(void*)));
        if (!p) return false;
        memcpy(p, items, count * sizeof(void*));
        if (items != local) free(items);
        items = p;
        cubage = c;
        return true;
    }

    static const unsigned kLocal = 64;
    void* local[kLocal];
    void** items = local;
    unsigned count = 0;
    unsigned cubage = kLocal;
};

}   // namespace

class JsonReader {
public:
    JsonReader(wchar_t* t, unsigned n) : text(t), end(n) {}

    bool ParseTop(Json& out) {
        if (!SkipSpace()) return true;
        return ParseValue(out, true);
    }

private:
    wchar_t* text;
    unsigned end;
    unsigned pos = 0;
    unsigned depth = 0;
    Pending pending;

    // Moves past whitespace; false at the end of the text.
    bool SkipSpace() {
        while (pos < end && IsSpace(text[pos])) ++pos;
        return pos < end;
    }

    bool ParseValue(Json& out, bool top) {
        switch (text[pos]) {
        case L'{': ++pos; return ParseObject(out);
        case L'[': ++pos; return ParseArray(out);
        case L'"': {
            ++pos;
            const wchar_t* body;
            unsigned n;
            if (!ReadStringBody(&body, &n)) return false;
            out.SetText(body, n);
            return true;
        }
        case L'\'': ++pos; return ReadBinary(out);
        default: return ReadToken(out, top);
        }
    }

    bool ParseNested(Json& out) { return SkipSpace() && ParseValue(out, false); }

    bool ParseArray(Json& out) {
        if (depth == Json::kMaxDepth) return false;
        // A member's or an element's value may come with its (empty) list
        // already made.
        Json::Array* a = out.IsArray() && !out.Count() ? out.array() : out.MakeArray();
        if (!a) return false;
        ++depth;
        unsigned base = pending.Count();
        bool ok = ArrayBody();
        ok &= Hand(*a, base);
        --depth;
        return ok;
    }

    bool ArrayBody() {
        if (!SkipSpace()) return false;
        if (text[pos] == L']') {
            ++pos;
            return true;
        }
        for (;;) {
            Json* e = ReadElement();
            if (!e) return false;
            if (!pending.Push(e)) {
                delete e;
                return false;
            }
            if (!SkipSpace()) return false;
            if (text[pos] == L']') {
                ++pos;
                return true;
            }
            if (text[pos] == L',' && ++pos == end) return false;
            // Anything else starts the next element: the comma is optional.
        }
    }

    // Reads one element into a value of its own; null when it fails (the
    // value goes, with whatever it held). A string's text and a list's
    // header are placed in the element's block (unless the list is too deep
    // to be read: the element is then made null and goes).
    Json* ReadElement() {
        if (!SkipSpace()) return nullptr;
        wchar_t c = text[pos];
        if (c == L'"') {
            ++pos;
            const wchar_t* body;
            unsigned n;
            if (!ReadStringBody(&body, &n)) return nullptr;
            Json* e = Json::NewWithText(body, n);
            return e ? e : new Json();   // no memory for the text: a null element
        }
        Json* e;
        if ((c == L'[' || c == L'{') && depth < Json::kMaxDepth)
            e = Json::NewWithList(c == L'[' ? Json::KIND_ARRAY : Json::KIND_OBJECT);
        else
            e = new Json();
        if (e && !ParseValue(*e, false)) {
            delete e;
            return nullptr;
        }
        return e;
    }

    bool ParseObject(Json& out) {
        if (depth == Json::kMaxDepth) return false;
        Json::Object* o = out.IsObject() && !out.Count() ? out.object() : out.MakeObject();
        if (!o) return false;
        ++depth;
        unsigned base = pending.Count();
        bool ok = ObjectBody();
        ok &= Hand(*o, base);
        --depth;
        return ok;
    }

    // A member joins its object as soon as it exists, before its value is
    // read, so a failure leaves it in the partial tree.
    Json::DICTION* AddMember(Json::DICTION* m) {
        if (m && !pending.Push(m)) {
            delete m;
            return nullptr;
        }
        return m;
    }

    bool ObjectBody() {
        if (!SkipSpace()) return false;
        if (text[pos] == L'}') {
            ++pos;
            return true;
        }
        for (;;) {
            if (!SkipSpace()) return false;
            if (text[pos] != L'"' && text[pos] != L'\'') return false;
            ++pos;
            // A name that opens with ' still ends at the next unescaped ".
            // A member whose name does not end still joins the object (with
            // an empty name), as part of the tree built before the failure.
            const wchar_t* name = nullptr;
            unsigned n = 0;
            if (!ReadStringBody(&name, &n)) {
                AddMember(Json::DICTION::Create(nullptr, 0, nullptr, 0));
                return false;
            }
            bool colon = SkipSpace() && text[pos] == L':';
            if (colon) ++pos;
            // A string value is read first so that it can share the member's
            // allocation; a member whose value fails keeps a null value.
            const wchar_t* value = nullptr;
            unsigned valueLength = 0;
            bool quoted = colon && SkipSpace() && text[pos] == L'"';
            bool read = false;
            if (quoted) {
                ++pos;
                read = ReadStringBody(&value, &valueLength);
            }
            // So can the list header of an array or object value (unless
            // it is too deep to be read: its member then stays null).
            Json::Kind list = Json::KIND_NULL;
            if (colon && !quoted && pos < end && depth < Json::kMaxDepth) {
                if (text[pos] == L'[') list = Json::KIND_ARRAY;
                if (text[pos] == L'{') list = Json::KIND_OBJECT;
            }
            Json::DICTION* m = AddMember(list ? Json::DICTION::CreateWithList(name, n, list)
                                              : Json::DICTION::Create(name, n, read ? value : nullptr, valueLength));
            if (!m || !colon || (quoted && !read)) return false;
            if (!quoted && !ParseNested(*m->value)) return false;
            if (!SkipSpace()) return false;
            if (text[pos] == L'}') {
                ++pos;
                return true;
            }
            if (text[pos] == L',') ++pos;
        }
    }

    // Moves the items pending since base into list, whose pointer array is
    // sized once to take them all; without memory for it they are destroyed.
    template <class T>
    bool Hand(Json::List<T>& list, unsigned base) {
        unsigned n = pending.Count() - base;
        void* const* items = pending.From(base);
        bool taken = list.Adopt(items, n);
        if (!taken)
            for (unsigned k = 0; k < n; ++k) delete static_cast<T*>(items[k]);
        pending.Drop(base);
        return taken;
    }

    // Reads a string body after its opening quote and unescapes it in place;
    // *body, *n give the result. False when no closing quote follows.
    bool ReadStringBody(const wchar_t** body, unsigned* n) {
        unsigned start = pos, i = pos;
        bool escaped = false, anyEscape = false;
        for (; i < end; ++i) {
            wchar_t c = text[i];
            if (c == L'\\') {
                escaped = !escaped;
                anyEscape = true;
            } else if (c == L'"' && !escaped) {
                break;
            } else {
                escaped = false;
            }
        }
        if (i == end) return false;
        pos = i + 1;
        *body = text + start;
        *n = anyEscape ? Unescape(start, i) : i - start;
        return true;
    }

    // Unescapes text[from, to) in place; returns the units that remain. An
    // escape this format does not know (a backslash before another letter,
    // \u without four hexadecimal digits) is kept as it stands.
    unsigned Unescape(unsigned from, unsigned to) {
        unsigned w = from;
        for (unsigned r = from; r < to; ++r) {
            wchar_t c = text[r];
            if (c != L'\\' || r + 1 == to) {
                text[w++] = c;
                continue;
            }
            wchar_t next = text[r + 1];
            wchar_t out;
            switch (next) {
            case L'b': out = 0x08; break;
            case L'f': out = 0x0C; break;
            case L'n': out = 0x0A; break;
            case L'r': out = 0x0D; break;
            case L't': out = 0x09; break;
            case L'"': case L'\\': case L'/': out = next; break;
            case L'u': {
                int v = 0;
                unsigned k = 0;
                for (; k < 4 && r + 2 + k < to; ++k) {
                    int h = HexValue(text[r + 2 + k]);
                    if (h < 0) break;
                    v = v << 4 | h;
                }
                if (k < 4) {
                    text[w++] = c;   // not an escape: the backslash stays, 'u' follows
                    continue;
                }
                text[w++] = static_cast<wchar_t>(v);
                r += 5;
                continue;
            }
            default:
                text[w++] = c;   // unknown escape: keep the backslash, the letter follows
                continue;
            }
            text[w++] = out;
            ++r;
        }
        return w - from;
    }

    bool ReadBinary(Json& out) {
        unsigned start = pos;
        while (pos < end && text[pos] != L'\'') ++pos;
        if (pos == end) return false;
        unsigned n = pos - start;
        ++pos;
        if (!out.SetBinary(nullptr, 0)) return true;
        Json::Bytes* b = out.bytes();
        unsigned written = 0;
        if (n >= 4 && b->SetLength(n / 4 * 3) && !Base64Decode(text + start, n, b->data, &written))
            written = 0;
        b->SetLength(written);   // an invalid payload leaves an empty value
        return true;
    }

    bool ReadToken(Json& out, bool top) {
        unsigned start = pos;
        while (pos < end && !IsTokenEnd(text[pos])) ++pos;
        const wchar_t* t = text + start;
        unsigned n = pos - start;
        if (n == 4 && memcmp(t, L"true", 4 * sizeof(wchar_t)) == 0) {
            out = true;
            return true;
        }
        if (n == 5 && memcmp(t, L"false", 5 * sizeof(wchar_t)) == 0) {
            out = false;
            return true;
        }
        if (n == 4 && memcmp(t, L"null", 4 * sizeof(wchar_t)) == 0) {
            out.Release();
            return true;
        }
        unsigned long long u;
        double d;
        // At the top level every number is a double; nested, integers win.
        if (top) {
            if (ScanDouble(t, n, &d)) {
                out = d;
                return true;
            }
        } else if (ScanInteger(t, n, &u)) {
            out = static_cast<long long>(u);
            return true;
        } else if (ScanDouble(t, n, &d)) {
            out = d;
            return true;
        }
        return false;
    }
};

// The reader's own UTF-16 copy of the input: on the stack when it is as
// short as most datagrams, on the heap otherwise.
class TextCopy {
public:
    ~TextCopy() {
        if (units != local) free(units);
    }
    // Room for count units and a terminator; null when memory runs out.
    wchar_t* Reserve(unsigned count) {
        if (count > kLocal) units = static_cast<wchar_t*>(malloc((static_cast<size_t>(count) + 1) * sizeof(wchar_t)));
        return units;
    }
    wchar_t* units = local;
    unsigned length = 0;

private:
    static const unsigned kLocal = 512;
    wchar_t local[kLocal + 1];
};

bool Json::ParseMbs(const char* data, int length) {
    Release();
    unsigned count = 0;
    if (data && length > 0) {
        const void* zero = memchr(data, 0, static_cast<size_t>(length));
        count = zero ? static_cast<unsigned>(static_cast<const char*>(zero) - data) : static_cast<unsigned>(length);
    }
    if (count == 0) return true;
    // No code page makes more UTF-16 units than bytes, so one conversion
    // into a buffer of that size does.
    TextCopy text;
    if (!text.Reserve(count)) return false;
    int n = MultiByteToWideChar(CP_THREAD_ACP, 0, data, static_cast<int>(count), text.units, static_cast<int>(count));
    if (n <= 0) return false;
    while (text.length < static_cast<unsigned>(n) && text.units[text.length]) ++text.length;
    JsonReader reader(text.units, text.length);
    return reader.ParseTop(*this);
}

bool Json::Parse(const wchar_t* data, unsigned length) {
    Release();
    String text;
    if (data && length) text.CopyText(data, length, 0);   // stops at a U+0000
    if (text.IsNull()) return true;
    JsonReader reader(text.Handle(), text.Length());
    return reader.ParseTop(*this);
}

} // namespace zo
