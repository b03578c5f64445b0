// CSV files of the command-line program, RFC 4180 both ways on UTF-8 text,
// and the conversions between UTF-8 and UTF-16 that its files need. Plain
// functions over strings: the callers own the text, the rows and the files.
#pragma once
#include <string>
#include <vector>

#include "core/String.h"

namespace cli {

// What a file saved by this program starts with, so that a spreadsheet reads
// it as UTF-8 (Chinese names intact).
extern const char kUtf8Bom[];   // "\xEF\xBB\xBF"

// One row as a line of a file, ended by CR LF. A field is quoted when it
// holds a comma, a quote, CR or LF, or starts or ends with a space (which a
// spreadsheet would otherwise trim); quotes inside are doubled.
std::string CsvLine(const std::vector<std::string>& fields);

struct CsvRow {
    unsigned line = 0;   // the line it starts on, from 1
    std::vector<std::string> fields;
};

struct CsvError {
    unsigned line = 0;   // from 1
    std::string reason;
};

// Reads a whole file's text into rows. A leading UTF-8 byte-order mark is
// skipped; lines end in CR LF or LF, the last one may have no end; a quoted
// field may hold line ends; an empty line is no row. False, with the line
// and the reason, for a malformed file: a quote inside an unquoted field,
// text after a closing quote, an unclosed quote (the line it opened on), a
// CR not followed by LF outside quotes, text that is not UTF-8. Nothing is
// read from a malformed file: rows is empty then.
bool ReadCsv(const std::string& text, std::vector<CsvRow>& rows, CsvError& error);

// UTF-8 to UTF-16; false for bytes that are not UTF-8 (overlong forms,
// surrogates, values above U+10FFFF, cut sequences), out then empty.
bool Utf8ToWide(const std::string& utf8, std::wstring& out);
bool Utf8ToString(const std::string& utf8, zo::String& out);
// UTF-16 to UTF-8; false for a lone surrogate, out then empty.
bool WideToUtf8(const wchar_t* text, size_t count, std::string& out);
inline bool WideToUtf8(const std::wstring& text, std::string& out) {
    return WideToUtf8(text.data(), text.size(), out);
}
inline bool StringToUtf8(const zo::String& text, std::string& out) {
    return WideToUtf8(text.Handle() ? text.Handle() : L"", text.Length(), out);
}

// The length of the valid UTF-8 prefix of text (text.size() when all is valid).
size_t ValidUtf8Length(const std::string& text);

} // namespace cli
