// Json::ToString: the compact form (one line; units above U+0100 and '/'
// escaped) for datagrams and the pretty form (TABs, CR LF, text as it is)
// for the configuration file. The text is built in one growing buffer that
// the output string then adopts.
#include <cstdlib>
#include <cstring>

#include "data/Base64.h"
#include "data/Json.h"
#include "data/NumberText.h"

namespace zo {

namespace {

class TextBuffer {
public:
    ~TextBuffer() { free(data); }

    // Room for n more units (and a terminator); false once memory ran out.
    bool Reserve(unsigned n) {
        if (failed) return false;
        if (static_cast<unsigned long long>(length) + n + 1 <= cubage) return true;
        unsigned long long c = cubage ? cubage : 256;
        while (c < static_cast<unsigned long long>(length) + n + 1) c *= 2;
        if (c * sizeof(wchar_t) > 0x7FFFFFFFull) return Fail();
        wchar_t* p = static_cast<wchar_t*>(realloc(data, static_cast<size_t>(c) * sizeof(wchar_t)));
        if (!p) return Fail();
        data = p;
        cubage = static_cast<unsigned>(c);
        return true;
    }

    void Put(wchar_t c) {
        if (Reserve(1)) data[length++] = c;
    }

    void Put(const wchar_t* text, unsigned n) {
        if (!Reserve(n)) return;
        memcpy(data + length, text, n * sizeof(wchar_t));
        length += n;
    }

    void PutAscii(const char* text) {
        while (*text) Put(static_cast<wchar_t>(*text++));
    }

    wchar_t* At() { return data + length; }
    void Advance(unsigned n) { length += n; }

    // Hands the text to out (which adopts the buffer); "" after a failure.
    void MoveTo(String& out) {
        if (failed || !Reserve(0)) {
            out = L"";
            return;
        }
        data[length] = 0;
        out.Attach(data);
        data = nullptr;
    }

private:
    bool Fail() {
        failed = true;
        return false;
    }

    wchar_t* data = nullptr;
    unsigned length = 0;
    unsigned cubage = 0;
    bool failed = false;
};

}   // namespace

class JsonWriter {
public:
    JsonWriter(TextBuffer& b, const String& indentation, bool p)
        : buf(b), base(indentation), pretty(p) {}

    void Value(const Json& v) {
        switch (v.GetKind()) {
        case Json::KIND_NULL: buf.PutAscii("null"); break;
        case Json::KIND_BOOLEAN: buf.PutAscii(v.Boolean(false) ? "true" : "false"); break;
        case Json::KIND_INTEGER:
            if (buf.Reserve(kNumberTextRoom)) buf.Advance(FormatInt64(v.Int64(0), buf.At()));
            break;
        case Json::KIND_DOUBLE:
            if (buf.Reserve(kNumberTextRoom)) buf.Advance(FormatDouble(v.Double(0.0), buf.At()));
            break;
        case Json::KIND_STRING: Text(v.string()->Handle(), v.string()->Length()); break;
        case Json::KIND_ARRAY: Array(v); break;
        case Json::KIND_OBJECT: Object(v); break;
        case Json::KIND_BINARY: Binary(v); break;
        }
    }

private:
    TextBuffer& buf;
    const String& base;   // the caller's indentation, in front of ours
    bool pretty;
    unsigned depth = 0;   // TABs added to it

    void Indent() {
        if (!pretty) return;
        if (base.Length()) buf.Put(base.Handle(), base.Length());
        if (buf.Reserve(depth))
            for (unsigned i = 0; i < depth; ++i) buf.Put(L'\t');
    }

    void Open(wchar_t bracket) {
        buf.Put(bracket);
        if (pretty) buf.PutAscii("\r\n");
    }

    void Separate() {
        buf.Put(L',');
        if (pretty) buf.PutAscii("\r\n");
    }

    void Close(wchar_t bracket, bool any) {
        if (any && pretty) buf.PutAscii("\r\n");
        Indent();
        buf.Put(bracket);
    }

    void Array(const Json& v) {
        Open(L'[');
        unsigned n = v.Count();
        ++depth;
        for (unsigned i = 0; i < n; ++i) {
            if (i) Separate();
            Indent();
            Value(*v.GetArrayElm(static_cast<int>(i)));
        }
        --depth;
        Close(L']', n != 0);
    }

    void Object(const Json& v) {
        Open(L'{');
        unsigned n = v.Count();
        ++depth;
        for (unsigned i = 0; i < n; ++i) {
            const Json::DICTION* m = v.GetMember(i);
            if (i) Separate();
            Indent();
            Text(m->name.Handle(), m->name.Length());
            if (pretty)
                buf.PutAscii(" : ");
            else
                buf.Put(L':');
            Value(*m->value);
        }
        --depth;
        Close(L'}', n != 0);
    }

    void Binary(const Json& v) {
        const void* data = nullptr;
        int size = 0;
        v.GetBinary(data, &size);
        unsigned n = static_cast<unsigned>(size);
        buf.Put(L'\'');
        if (buf.Reserve(Base64EncodedLength(n))) buf.Advance(Base64Encode(data, n, buf.At()));
        buf.Put(L'\'');
    }

    // A quoted, escaped string or member name. Room is made per chunk for
    // the worst case (six units per unit), so the loop itself never checks.
    void Text(const wchar_t* text, unsigned n) {
        static const wchar_t kHex[] = L"0123456789abcdef";
        const unsigned kChunk = 4096;
        buf.Put(L'"');
        for (unsigned done = 0; done < n;) {
            unsigned k = n - done < kChunk ? n - done : kChunk;
            if (!buf.Reserve(6 * k)) return;
            wchar_t* out = buf.At();
            wchar_t* start = out;
            for (const wchar_t *p = text + done, *end = p + k; p < end; ++p) {
                wchar_t c = *p;
                if (c >= 0x80 || (c >= 0x20 && c != L'"' && c != L'\\' && c != L'/')) {
                    if (c > 0x100 && !pretty) {
                        *out++ = L'\\';
                        *out++ = L'u';
                        *out++ = kHex[c >> 12];
                        *out++ = kHex[c >> 8 & 15];
                        *out++ = kHex[c >> 4 & 15];
                        *out++ = kHex[c & 15];
                    } else {
                        *out++ = c;
                    }
                    continue;
                }
                wchar_t letter = 0;
                switch (c) {
                case 0x08: letter = L'b'; break;
                case 0x0C: letter = L'f'; break;
                case 0x0A: letter = L'n'; break;
                case 0x0D: letter = L'r'; break;
                case 0x09: letter = L't'; break;
                case L'"': case L'\\': letter = c; break;
                case L'/': letter = pretty ? 0 : c; break;
                case 0: continue;   // a NUL cannot travel in the text
                default: break;
                }
                if (letter) *out++ = L'\\';
                *out++ = letter ? letter : c;
            }
            buf.Advance(static_cast<unsigned>(out - start));
            done += k;
        }
        buf.Put(L'"');
    }
};

void Json::ToString(String& out, String& indent, bool pretty) const {
    TextBuffer buf;
    JsonWriter writer(buf, indent, pretty);
    writer.Value(*this);
    buf.MoveTo(out);
}

} // namespace zo
