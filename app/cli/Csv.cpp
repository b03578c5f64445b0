#include "app/cli/Csv.h"

namespace cli {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

namespace {

// The length of the UTF-8 sequence at p (n bytes left) and its value in cp;
// 0 when the bytes there are no well-formed sequence.
size_t DecodeOne(const unsigned char* p, size_t n, unsigned long& cp) {
    unsigned char b = p[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;   // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
        if (b == 0xE0) low = 0xA0;    // overlong
        if (b == 0xED) high = 0x9F;   // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
        if (b == 0xF0) low = 0x90;    // overlong
        if (b == 0xF4) high = 0x8F;   // above U+10FFFF
    } else {
        return 0;
    }
    if (n < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        unsigned char c = p[k];
        if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return length;
}

bool NeedsQuotes(const std::string& field) {
    if (field.find_first_of(",\"\r\n") != std::string::npos) return true;
    if (field.empty()) return false;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return blank(field.front()) || blank(field.back());
}

} // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        const std::string& f = fields[i];
        // A lone empty field would make an empty line, which is no row.
        if (!NeedsQuotes(f) && !(fields.size() == 1 && f.empty())) {
            out += f;
            continue;
        }
        out += '"';
        for (char c : f) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
    return out;
}

size_t ValidUtf8Length(const std::string& text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    unsigned long cp;
    while (i < text.size()) {
        size_t n = DecodeOne(p + i, text.size() - i, cp);
        if (!n) break;
        i += n;
    }
    return i;
}

bool ReadCsv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error) {
    rows.clear();
    error = CsvError();
    size_t i = text.compare(0, 3, kUtf8Bom) == 0 ? 3 : 0;
    auto fail = [&](unsigned line, const std::string& reason) {
        rows.clear();
        error.line = line;
        error.reason = reason;
        return false;
    };

    size_t valid = ValidUtf8Length(text);
    if (valid < text.size()) {
        unsigned line = 1;
        for (size_t k = 0; k < valid; ++k) line += text[k] == '\n';
        return fail(line, "the text is not UTF-8 (save the file as CSV in UTF-8)");
    }

    enum State { FieldStart, Unquoted, Quoted, AfterQuote } state = FieldStart;
    unsigned line = 1, quoteLine = 0;
    CsvRow row;
    row.line = 1;
    std::string field;
    bool rowHasText = false;   // an empty line is no row
    auto where = [&] { return "field " + std::to_string(row.fields.size() + 1) + ": "; };
    auto endRow = [&] {
        row.fields.push_back(field);
        field.clear();
        if (rowHasText) rows.push_back(row);
        row.fields.clear();
        rowHasText = false;
        state = FieldStart;
    };

    while (i < text.size()) {
        char c = text[i];
        if (state == Quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                i += 2;
                continue;
            }
            if (c == '"') state = AfterQuote;
            else field += c;
            if (c == '\n') ++line;
            ++i;
            continue;
        }
        if (c == ',') {
            row.fields.push_back(field);
            field.clear();
            rowHasText = true;
            state = FieldStart;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            endRow();
            if (c == '\r') ++i;
            ++line;
            row.line = line;
        } else if (c == '\r') {
            return fail(line, where() + "a carriage return without a line feed");
        } else if (state == AfterQuote) {
            return fail(line, where() + "text after a closing quote");
        } else if (c == '"') {
            if (state == Unquoted) return fail(line, where() + "a quote inside an unquoted field");
            state = Quoted;
            quoteLine = line;
            rowHasText = true;
        } else {
            field += c;
            state = Unquoted;
            rowHasText = true;
        }
        ++i;
    }
    if (state == Quoted) return fail(quoteLine, where() + "a quote that is never closed");
    if (rowHasText) endRow();
    return true;
}

bool Utf8ToWide(const std::string& utf8, std::wstring& out) {
    out.clear();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        unsigned long cp;
        size_t n = DecodeOne(p + i, utf8.size() - i, cp);
        if (!n) {
            out.clear();
            return false;
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return true;
}

bool Utf8ToString(const std::string& utf8, zo::String& out) {
    std::wstring wide;
    bool ok = Utf8ToWide(utf8, wide);
    out = L"";
    if (!wide.empty()) out.CopyText(wide.data(), static_cast<unsigned>(wide.size()), 0);
    return ok;
}

bool WideToUtf8(const wchar_t* text, size_t count, std::string& out) {
    out.clear();
    for (size_t i = 0; i < count; ++i) {
        unsigned long cp = static_cast<unsigned short>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned short>(text[++i]) - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            out.clear();
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

} // namespace cli
