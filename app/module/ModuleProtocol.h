// The module protocol as plain code: request bytes, the two kinds of reply,
// reading a report into a record, merging by mac, the access-point pairing
// rule and the settings text a save sends. Nothing here knows of windows or
// threads; the main window, the simulator and a command-line companion share
// it, so what a module writes and what the tool reads cannot drift apart.
#pragma once
#include "app/module/ModleParam.h"
#include "core/Memory.h"
#include "core/ObjectList.h"
#include "core/String.h"
#include "core/StringList.h"
#include "data/Json.h"
#include "net/IP.h"

namespace proto {

const unsigned short kModulePort = 6646;   // every request goes to this port
const unsigned short kToolPort = 6643;     // every reply arrives here
extern const char kReadRequest[];          // "get_net_modle_param", 19 bytes
extern const char kApListRequest[];        // "get_ap_list", 11 bytes
extern const char kWriteRequest[];         // "set_net_modle_param", then the settings object
extern const char kApListPrefix[];         // "+CWLAP:", 7 bytes
const int kApListPrefixLength = 7;

// An access-point list is more than the bare prefix; everything else is a
// parameter report.
bool IsApList(const char* data, int length);

// Decodes datagram bytes up to the first NUL (at most length). Bytes that
// are valid UTF-8 and hold a multi-byte sequence are UTF-8 (many access
// point names are written so; read in the code page they would turn into
// other, valid characters), and *utf8 is set; anything else is the
// thread's ANSI code page. There a lead byte whose next byte cannot follow
// it becomes one U+FFFD and never swallows that byte, so a name in another
// encoding cannot eat the quote after it.
void DecodeDatagram(const char* data, int length, zo::String& out, bool* utf8 = nullptr);

// Parses decoded report text into report. False when the text is not JSON
// (report is then released). An empty text is a null report.
bool ParseReport(const zo::String& text, zo::Json& report);

// The most characters a module holds in each text: a host name is at most
// 253 characters, an access point name 32 bytes, a WPA passphrase 63
// characters (64 hex digits), a mac 17 (some room is left). A longer text
// in a report is cut there and ends in U+FFFD, so the record stays small
// under a flood and a save never writes the cut text back unedited.
const unsigned kMaxHost = 253, kMaxSsid = 32, kMaxPass = 64, kMaxMac = 64;
enum CutMember { kCutHost = 1, kCutSsid = 2, kCutPass = 4, kCutMac = 8 };

// Overwrites all ten fields of record from a report; missing members, other
// kinds and non-object reports give the defaults. Returns the CutMember
// bits of the texts that were cut.
unsigned ReadReport(const zo::Json& report, ModleParam& record);
// "serv_host, ap_ssid" for the bits of ReadReport's result.
void CutMembersText(unsigned cut, zo::String& out);

// The first record whose mac equals mac code unit for code unit (null is
// the empty text); null when none.
ModleParam* FindModule(const zo::ObjectList<ModleParam>& modules, const wchar_t* mac);

// The most modules a list keeps: a flood of reports with ever new macs
// must not grow the records (and every look-up) without end.
const unsigned kMaxModules = 4096;

// Files a report under its mac: the existing record, or a new one appended
// at the end. Null, with nothing changed, for a new mac when the list holds
// kMaxModules already, and when memory runs out. utf8: the report came as
// UTF-8 (DecodeDatagram). *cut (when given) gets ReadReport's result.
ModleParam* MergeReport(zo::ObjectList<ModleParam>& modules, const zo::Json& report, bool& existed,
                        bool utf8 = false, unsigned* cut = nullptr);

// The access-point names of a "+CWLAP:" text (the bytes after the prefix,
// decoded): split at "\n", names at positions 0, 2, 4, ... of the first
// n/2 pairs; an unpaired last piece is dropped. Returns the names added.
unsigned AccessPointNames(const wchar_t* text, zo::StringList& names);

// The numbers a save reads from the boxes. The baud rate: an empty text, 0,
// text that is no number or a value negative as a 32-bit number give 9600.
// The port: the low 16 bits of the value, 0 for an empty text.
int BaudFromText(const wchar_t* text);
unsigned short PortFromText(const wchar_t* text);

// The edited texts a save collects, in the order the settings object holds them.
struct SettingsTexts {
    const wchar_t* baud;
    const wchar_t* host;
    const wchar_t* port;
    const wchar_t* ssid;
    const wchar_t* pass;
    const wchar_t* mac;
};
// The compact settings object: serial_rate, serv_host, serv_port, ap_ssid,
// ap_pass, mac, in that order.
void BuildSettings(const SettingsTexts& texts, zo::String& out);
// The record a module reports once it took a save of texts (its mac and
// addresses stay current's).
ModleParam Intended(const ModleParam& current, const SettingsTexts& texts);
// "set_net_modle_param" directly followed by the settings text, in the ANSI
// code page; returns the byte count (the bytes end with a NUL not counted).
int BuildWriteRequest(const zo::String& settings, zo::Memory<char>& out);

// Why a save was not built: the member (its key in the request) and what is wrong.
struct SaveProblem {
    enum Kind { kNone, kCannotCarry, kNotExact } kind = kNone;
    const wchar_t* member = nullptr;   // "serv_host", "ap_ssid", "ap_pass" or "mac"
};

// The save of the texts a person has for a module whose record is current
// (texts.mac is ignored: the record's mac is sent). A text equal to the
// module's own is one the person did not edit, and it must reach the module
// exactly as it is: for a module speaking the ANSI code page the request is
// BuildSettings' and BuildWriteRequest's; for one read as UTF-8 the request
// is UTF-8, an unedited text in it the very bytes the module sent and an
// edited one with every unit from U+0080 as an escape (so a module of the
// code page whose bytes happened to be valid UTF-8 keeps its texts). Returns
// the byte count, or 0 with nothing built and problem set when an edited
// text holds a character the module's encoding cannot carry (kCannotCarry),
// or an unedited one could not be read exactly (kNotExact: it holds U+FFFD,
// undecodable bytes or a text cut to its bound).
int BuildSave(const ModleParam& current, const SettingsTexts& texts, zo::Memory<char>& out, SaveProblem& problem);

// A module's own report of record, compact, addresses as the numbers whose
// lowest byte is the first octet.
void WriteReport(const ModleParam& record, zo::String& out);
// Takes the members a "set_net_modle_param" object holds, leaving the rest.
void ApplySettings(const zo::Json& settings, ModleParam& record);

// The four address lines shown for a module, each ended by CR LF.
void AddressLines(const ModleParam& record, zo::String& out);

// The local host's first IPv4 address, or IP::None when there is none.
// Starts and stops Winsock around the look-up.
zo::IP LocalAddress();
// The sweep's k-th host: the local address with its last octet set to k.
zo::IP SweepHost(zo::IP local, unsigned k);

} // namespace proto
