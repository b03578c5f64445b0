// The module protocol: bytes in, records and texts out.
#include "app/module/ModuleProtocol.h"

#include <utility>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "net/Host.h"

namespace proto {

const char kReadRequest[] = "get_net_modle_param";
const char kApListRequest[] = "get_ap_list";
const char kWriteRequest[] = "set_net_modle_param";
const char kApListPrefix[] = "+CWLAP:";

bool IsApList(const char* data, int length) {
    return data && length > kApListPrefixLength && memcmp(data, kApListPrefix, kApListPrefixLength) == 0;
}

namespace {

// Appends the decoding of n bytes that hold no broken pair.
void AppendDecoded(const char* data, int n, zo::String& out) {
    if (n <= 0) return;
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, data, n, nullptr, 0);
    if (units <= 0) return;
    zo::Memory<wchar_t> buffer;
    if (!buffer.SetLength(static_cast<unsigned>(units))) return;
    MultiByteToWideChar(CP_THREAD_ACP, 0, data, n, buffer.data, units);
    out.CopyText(buffer.data, static_cast<unsigned>(units));
}

UINT ThreadCodePage() {
    wchar_t text[8] = {};
    // CP_THREAD_ACP has no lead-byte table of its own: ask which code page it is.
    if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 8) > 0) {
        UINT cp = static_cast<UINT>(wcstoul(text, nullptr, 10));
        if (cp) return cp;
    }
    return GetACP();
}

} // namespace

namespace {

// Valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF) with
// at least one multi-byte sequence.
bool IsMultiByteUtf8(const unsigned char* p, int n) {
    bool multi = false;
    for (int i = 0; i < n;) {
        unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more;
        unsigned lowest;
        unsigned long v;
        if (b >= 0xC2 && b <= 0xDF) more = 1, lowest = 0x80, v = b & 0x1F;
        else if (b >= 0xE0 && b <= 0xEF) more = 2, lowest = 0x800, v = b & 0x0F;
        else if (b >= 0xF0 && b <= 0xF4) more = 3, lowest = 0x10000, v = b & 0x07;
        else return false;
        if (i + more >= n) return false;   // cut short
        for (int k = 1; k <= more; ++k) {
            unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) return false;
            v = (v << 6) | (c & 0x3F);
        }
        if (v < lowest || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
        multi = true;
        i += more + 1;
    }
    return multi;
}

} // namespace

void DecodeDatagram(const char* data, int length, zo::String& out, bool* utf8) {
    out = L"";
    if (utf8) *utf8 = false;
    if (!data || length <= 0) return;
    const void* nul = memchr(data, 0, static_cast<size_t>(length));
    int n = nul ? static_cast<int>(static_cast<const char*>(nul) - data) : length;
    if (IsMultiByteUtf8(reinterpret_cast<const unsigned char*>(data), n)) {
        int units = MultiByteToWideChar(CP_UTF8, 0, data, n, nullptr, 0);
        zo::Memory<wchar_t> buffer;
        if (units > 0 && buffer.SetLength(static_cast<unsigned>(units)) &&
            MultiByteToWideChar(CP_UTF8, 0, data, n, buffer.data, units) == units) {
            out.CopyText(buffer.data, static_cast<unsigned>(units));
            if (utf8) *utf8 = true;
        }
        return;
    }
    UINT cp = ThreadCodePage();
    int start = 0;
    for (int i = 0; i < n; ++i) {
        unsigned char b = static_cast<unsigned char>(data[i]);
        if (b < 0x80 || !IsDBCSLeadByteEx(cp, b)) continue;
        wchar_t pair[2];
        if (i + 1 < n && MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, data + i, 2, pair, 2) == 1) {
            ++i;   // a valid pair: decoded with the rest of the run
            continue;
        }
        AppendDecoded(data + start, i - start, out);
        out += L"\xFFFD";
        start = i + 1;
    }
    AppendDecoded(data + start, n - start, out);
}

bool ParseReport(const zo::String& text, zo::Json& report) {
    if (report.Parse(text.Handle() ? text.Handle() : L"", text.Length())) return true;
    report.Release();
    return false;
}

namespace {

// The member's text, cut to at most limit units (the last of them U+FFFD)
// when it is longer; a pair of surrogates is never split.
bool Bounded(const zo::Json& report, const wchar_t* name, unsigned limit, zo::String& out) {
    const wchar_t* text = report.PropertyStr(name, L"");
    size_t n = wcslen(text);
    if (n <= limit) {
        out = text;
        return false;
    }
    unsigned keep = limit - 1;
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    out = L"";
    out.CopyText(text, keep);
    out += L"\xFFFD";
    return true;
}

} // namespace

unsigned ReadReport(const zo::Json& report, ModleParam& record) {
    unsigned cut = 0;
    if (Bounded(report, L"serv_host", kMaxHost, record.serv_host)) cut |= kCutHost;
    record.serv_port = static_cast<unsigned short>(report.PropertyInt32(L"serv_port", 0));
    record.serial_rate = report.PropertyInt32(L"serial_rate", 9600);
    if (Bounded(report, L"ap_ssid", kMaxSsid, record.ap_ssid)) cut |= kCutSsid;
    if (Bounded(report, L"ap_pass", kMaxPass, record.ap_pass)) cut |= kCutPass;
    record.ether_ip = static_cast<unsigned long>(static_cast<unsigned>(report.PropertyInt32(L"ether_ip", 0)));
    record.ether_gate = static_cast<unsigned long>(static_cast<unsigned>(report.PropertyInt32(L"ether_gate", 0)));
    record.wifi_ip = static_cast<unsigned long>(static_cast<unsigned>(report.PropertyInt32(L"wifi_ip", 0)));
    record.wifi_gate = static_cast<unsigned long>(static_cast<unsigned>(report.PropertyInt32(L"wifi_gate", 0)));
    if (Bounded(report, L"mac", kMaxMac, record.mac)) cut |= kCutMac;
    return cut;
}

void CutMembersText(unsigned cut, zo::String& out) {
    static const wchar_t* const names[4] = {L"serv_host", L"ap_ssid", L"ap_pass", L"mac"};
    out = L"";
    for (unsigned i = 0; i < 4; ++i) {
        if (!(cut & (1u << i))) continue;
        if (out.Length()) out += L", ";
        out += names[i];
    }
}

ModleParam* FindModule(const zo::ObjectList<ModleParam>& modules, const wchar_t* mac) {
    if (!mac) mac = L"";
    for (unsigned i = 0; i < modules.Count(); ++i) {
        ModleParam* m = modules.Element(i);
        if (m->mac == mac) return m;
    }
    return nullptr;
}

ModleParam* MergeReport(zo::ObjectList<ModleParam>& modules, const zo::Json& report, bool& existed, bool utf8,
                        unsigned* cut) {
    // The record is found under the mac as it is kept (cut to its bound).
    ModleParam read;
    unsigned c = ReadReport(report, read);
    read.utf8 = utf8;
    if (cut) *cut = c;
    ModleParam* record = FindModule(modules, read.mac.Handle());
    existed = record != nullptr;
    if (!record && modules.Count() < kMaxModules) record = modules.Add();
    if (record) *record = read;
    return record;
}

unsigned AccessPointNames(const wchar_t* text, zo::StringList& names) {
    zo::StringList pieces;
    pieces.Split(text ? text : L"", L"\n");
    unsigned pairs = pieces.Count() / 2;
    unsigned added = 0;
    for (unsigned i = 0; i < pairs; ++i)
        if (names.Add(pieces[2 * i].Handle()) != zo::NPOS) ++added;
    return added;
}

int BaudFromText(const wchar_t* text) {
    if (!text || !*text) return 9600;
    int value = static_cast<int>(wcstoul(text, nullptr, 10));
    return value <= 0 ? 9600 : value;
}

unsigned short PortFromText(const wchar_t* text) {
    if (!text || !*text) return 0;
    return static_cast<unsigned short>(wcstoul(text, nullptr, 10) & 0xFFFF);
}

namespace {

// text with every unit that escaped(unit) holds written as a JSON escape
// (a backslash, "u" and four lowercase hex digits).
template <class Escaped>
void EscapeUnits(const zo::String& text, zo::String& out, Escaped escaped) {
    out = L"";
    unsigned from = 0;
    for (unsigned i = 0; i < text.Length(); ++i) {
        wchar_t c = text.Element(i);
        if (!escaped(c)) continue;
        wchar_t escape[8];
        swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
        out.CopyText(text.Handle() + from, i - from);
        out += escape;
        from = i + 1;
    }
    out.CopyText(text.Handle() + from, text.Length() - from);
}

} // namespace

void BuildSettings(const SettingsTexts& texts, zo::String& out) {
    zo::Json o;
    o.SetPropertyInt32(L"serial_rate", BaudFromText(texts.baud));
    o.SetPropertyStr(L"serv_host", texts.host ? texts.host : L"");
    o.SetPropertyInt32(L"serv_port", PortFromText(texts.port));
    o.SetPropertyStr(L"ap_ssid", texts.ssid ? texts.ssid : L"");
    o.SetPropertyStr(L"ap_pass", texts.pass ? texts.pass : L"");
    o.SetPropertyStr(L"mac", texts.mac ? texts.mac : L"");
    zo::String indent;
    zo::String text;
    o.ToString(text, indent, false);
    // The writer leaves units up to U+0100 to the code page; one the code
    // page cannot carry would reach the module as "?", a wrong name saved
    // silently. Such units travel as escapes, as those above U+0100 do.
    EscapeUnits(text, out, [](wchar_t c) {
        if (c < 0x80 || c > 0x100) return false;
        char bytes[4];
        BOOL lost = FALSE;
        int n = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof(bytes), nullptr, &lost);
        return n <= 0 || lost;
    });
}

ModleParam Intended(const ModleParam& current, const SettingsTexts& texts) {
    ModleParam r = current;
    r.serial_rate = BaudFromText(texts.baud);
    r.serv_host = texts.host ? texts.host : L"";
    r.serv_port = PortFromText(texts.port);
    r.ap_ssid = texts.ssid ? texts.ssid : L"";
    r.ap_pass = texts.pass ? texts.pass : L"";
    return r;
}

int BuildWriteRequest(const zo::String& settings, zo::Memory<char>& out) {
    zo::String text;
    text = settings;
    wchar_t name[sizeof(kWriteRequest)];
    for (unsigned i = 0; i < sizeof(kWriteRequest); ++i) name[i] = static_cast<wchar_t>(kWriteRequest[i]);
    text.Prepend(name);
    return text.ToMultiByte(out);
}

namespace {

// Whether a module speaking utf8 (or else the ANSI code page) can hold text.
bool Carried(const wchar_t* text, bool utf8) {
    int n = static_cast<int>(wcslen(text));
    if (n == 0) return true;
    if (utf8) {
        for (int i = 0; i < n; ++i) {
            wchar_t c = text[i];
            if (c >= 0xDC00 && c <= 0xDFFF) return false;   // a lone second half
            if (c >= 0xD800 && c <= 0xDBFF && !(i + 1 < n && text[++i] >= 0xDC00 && text[i] <= 0xDFFF)) return false;
        }
        return true;
    }
    BOOL lost = FALSE;
    int bytes = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0, nullptr, &lost);
    return bytes > 0 && !lost;
}

bool Inexact(const zo::String& text) {
    for (unsigned i = 0; i < text.Length(); ++i)
        if (text.Element(i) == 0xFFFD) return true;
    return false;
}

// The index of the closing quote of the JSON string whose first unit is at
// from, or the text's length.
unsigned StringEnd(const zo::String& json, unsigned from) {
    for (unsigned i = from; i < json.Length(); ++i) {
        wchar_t c = json.Element(i);
        if (c == L'\\')
            ++i;
        else if (c == L'"')
            return i;
    }
    return json.Length();
}

// The unit of the four hex digits at p, or 0x10000 when they are not four.
unsigned HexUnit(const wchar_t* p) {
    unsigned u = 0;
    for (int k = 0; k < 4; ++k) {
        wchar_t c = p[k];
        unsigned d = c >= L'0' && c <= L'9' ? c - L'0'
                     : c >= L'a' && c <= L'f' ? c - L'a' + 10
                     : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                              : 16;
        if (d == 16) return 0x10000;
        u = u * 16 + d;
    }
    return u;
}

bool FirstHalf(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool SecondHalf(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

// json[from, end), a string's inside as the writer escaped it, with every
// escaped character from U+0080 written as itself; an escape of a lone half
// of a pair stays an escape.
void AppendUnescaped(const zo::String& json, unsigned from, unsigned end, zo::String& out) {
    const wchar_t* p = json.Handle();
    for (unsigned i = from; i < end; ++i) {
        if (p[i] != L'\\' || i + 1 >= end) {
            out.CopyText(p + i, 1);
            continue;
        }
        if (p[i + 1] == L'u' && i + 6 <= end) {
            unsigned u = HexUnit(p + i + 2);
            if (u >= 0x80 && u < 0x10000 && !FirstHalf(u) && !SecondHalf(u)) {
                wchar_t c = static_cast<wchar_t>(u);
                out.CopyText(&c, 1);
                i += 5;
                continue;
            }
            unsigned second = FirstHalf(u) && i + 12 <= end && p[i + 6] == L'\\' && p[i + 7] == L'u'
                                  ? HexUnit(p + i + 8)
                                  : 0;
            if (SecondHalf(second)) {
                wchar_t pair[2] = {static_cast<wchar_t>(u), static_cast<wchar_t>(second)};
                out.CopyText(pair, 2);
                i += 11;
                continue;
            }
        }
        out.CopyText(p + i, 2);   // any other escape, whole
        ++i;
    }
}

// The settings for a module speaking UTF-8. A text the person did not edit
// goes back as the very bytes the module sent: its characters unescaped and
// the request in UTF-8. So does it for a module speaking the code page whose
// bytes happened to be valid UTF-8 too (the name "木" is C4 BE, which reads
// as "ľ"): whatever the module's encoding, its own bytes are what it holds.
// An edited text goes as escapes from U+0080, which a module of either
// encoding turns into its own.
void Utf8Settings(const zo::String& settings, const bool edited[4], zo::String& out) {
    static const wchar_t* const keys[4] = {L"\"serv_host\":\"", L"\"ap_ssid\":\"", L"\"ap_pass\":\"",
                                           L"\"mac\":\""};
    // The value spans in the order they come, found by their keys: a quote
    // inside a value is always escaped, so a key's text is only ever a key.
    struct Span {
        unsigned from, end;
        bool edited;
    } spans[4];
    unsigned n = 0;
    const wchar_t* text = settings.Handle() ? settings.Handle() : L"";
    for (int k = 0; k < 4; ++k) {
        const wchar_t* at = wcsstr(text, keys[k]);
        if (!at) continue;
        unsigned from = static_cast<unsigned>(at - text + wcslen(keys[k]));
        spans[n++] = Span{from, StringEnd(settings, from), edited[k]};
    }
    for (unsigned i = 1; i < n; ++i)
        for (unsigned j = i; j > 0 && spans[j - 1].from > spans[j].from; --j) std::swap(spans[j - 1], spans[j]);
    out = L"";
    unsigned done = 0;
    for (unsigned k = 0; k < n; ++k) {
        out.CopyText(text + done, spans[k].from - done);
        if (spans[k].edited) {
            zo::String value, escaped;
            value.CopyText(text + spans[k].from, spans[k].end - spans[k].from);
            EscapeUnits(value, escaped, [](wchar_t c) { return c >= 0x80; });
            out += escaped;
        } else {
            AppendUnescaped(settings, spans[k].from, spans[k].end, out);
        }
        done = spans[k].end;
    }
    out.CopyText(text + done, settings.Length() - done);
}

// "set_net_modle_param" and the settings in UTF-8; the byte count.
int BuildUtf8WriteRequest(const zo::String& settings, zo::Memory<char>& out) {
    std::wstring text(kWriteRequest, kWriteRequest + strlen(kWriteRequest));
    text.append(settings.Handle() ? settings.Handle() : L"", settings.Length());
    int n = static_cast<int>(text.size());
    int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    if (count <= 0 || !out.SetLength(static_cast<unsigned>(count) + 1)) return 0;
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), n, out.data, count, nullptr, nullptr) != count) return 0;
    out.data[count] = 0;
    return count;
}

} // namespace

int BuildSave(const ModleParam& current, const SettingsTexts& texts, zo::Memory<char>& out, SaveProblem& problem) {
    problem = SaveProblem();
    struct Member {
        const wchar_t* name;
        const wchar_t* text;
        const zo::String* now;
    };
    const Member members[4] = {{L"serv_host", texts.host, &current.serv_host},
                               {L"ap_ssid", texts.ssid, &current.ap_ssid},
                               {L"ap_pass", texts.pass, &current.ap_pass},
                               {L"mac", current.mac.Handle(), &current.mac}};
    bool editedAt[4];
    for (const Member& m : members) {
        const wchar_t* text = m.text ? m.text : L"";
        bool edited = !(*m.now == text);
        editedAt[&m - members] = edited;
        if (edited && !Carried(text, current.utf8)) problem.kind = SaveProblem::kCannotCarry;
        if (!edited && Inexact(*m.now)) problem.kind = SaveProblem::kNotExact;
        if (problem.kind != SaveProblem::kNone) {
            problem.member = m.name;
            return 0;
        }
    }
    SettingsTexts t = texts;
    t.mac = current.mac.Handle();
    zo::String settings;
    BuildSettings(t, settings);
    if (!current.utf8) return BuildWriteRequest(settings, out);
    zo::String utf8;
    Utf8Settings(settings, editedAt, utf8);
    return BuildUtf8WriteRequest(utf8, out);
}

namespace {
long long AddressNumber(zo::IP ip) { return static_cast<long long>(static_cast<unsigned>(ip.ToLong())); }
}

void WriteReport(const ModleParam& record, zo::String& out) {
    zo::Json o;
    o.SetPropertyStr(L"mac", record.mac.Handle());
    o.SetPropertyStr(L"serv_host", record.serv_host.Handle());
    o.SetPropertyInt32(L"serv_port", record.serv_port);
    o.SetPropertyInt32(L"serial_rate", record.serial_rate);
    o.SetPropertyStr(L"ap_ssid", record.ap_ssid.Handle());
    o.SetPropertyStr(L"ap_pass", record.ap_pass.Handle());
    o.SetPropertyInt64(L"ether_ip", AddressNumber(record.ether_ip));
    o.SetPropertyInt64(L"ether_gate", AddressNumber(record.ether_gate));
    o.SetPropertyInt64(L"wifi_ip", AddressNumber(record.wifi_ip));
    o.SetPropertyInt64(L"wifi_gate", AddressNumber(record.wifi_gate));
    zo::String indent;
    o.ToString(out, indent, false);
}

void ApplySettings(const zo::Json& settings, ModleParam& record) {
    int n;
    const wchar_t* text;
    if (settings.GetPropertyInt32(L"serial_rate", n)) record.serial_rate = n;
    if (settings.GetPropertyStr(L"serv_host", text)) record.serv_host = text;
    if (settings.GetPropertyInt32(L"serv_port", n)) record.serv_port = static_cast<unsigned short>(n);
    if (settings.GetPropertyStr(L"ap_ssid", text)) record.ap_ssid = text;
    if (settings.GetPropertyStr(L"ap_pass", text)) record.ap_pass = text;
}

void AddressLines(const ModleParam& record, zo::String& out) {
    static const wchar_t* const prefixes[4] = {L"网卡IP:   ", L"网关IP:   ", L"WIFIIP:   ", L"WIFI网关: "};
    const zo::IP* addresses[4] = {&record.ether_ip, &record.ether_gate, &record.wifi_ip, &record.wifi_gate};
    out = L"";
    for (int i = 0; i < 4; ++i) {
        zo::String line;
        line.Format(L"%s%hs\r\n", prefixes[i], addresses[i]->ToString());
        out += line;
    }
}

zo::IP LocalAddress() {
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    zo::IP ip;
    zo::Host host;
    if (host.Lookup(L"") && host.GetIpCount() > 0) ip = host.GetIp(0);
    if (started) WSACleanup();
    return ip;
}

zo::IP SweepHost(zo::IP local, unsigned k) {
    // In network order the last octet is the highest byte.
    return zo::IP((local.ToLong() & 0x00FFFFFFul) | ((static_cast<unsigned long>(k) & 0xFF) << 24));
}

} // namespace proto
