// CSV both ways and the UTF-8 conversions of the command-line program's
// files: tables of lines written, files read, files refused, every prefix of
// a tricky file, and Chinese text through a whole round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/Csv.h"

namespace {

using Fields = std::vector<std::string>;

std::string Show(const std::vector<cli::CsvRow>& rows) {
    std::string out;
    for (const cli::CsvRow& r : rows) {
        out += std::to_string(r.line) + ":";
        for (const std::string& f : r.fields) out += "[" + f + "]";
        out += "\n";
    }
    return out;
}

TEST(Csv, WriterQuotesOnlyFieldsThatNeedIt) {
    struct Row {
        Fields fields;
        const char* line;
    } rows[] = {
        {{"5C:CF:7F:00:00:01", "115200", "", "办公室"}, "5C:CF:7F:00:00:01,115200,,办公室\r\n"},
        {{"a,b"}, "\"a,b\"\r\n"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
        {{"two\r\nlines", "lf\nonly", "cr\r"}, "\"two\r\nlines\",\"lf\nonly\",\"cr\r\"\r\n"},
        {{" lead", "trail ", "in side", "\ttab"}, "\" lead\",\"trail \",in side,\"\ttab\"\r\n"},
        {{""}, "\"\"\r\n"},   // an empty line would be no row
        {{"", ""}, ",\r\n"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.line, cli::CsvLine(r.fields));
}

// A file is read whole, each row with the line it starts on, or refused
// whole with the line and the reason of its first fault.
TEST(Csv, ReaderGivesEachRowWithItsLineOrRefusesTheFileWithTheLineAndTheReason) {
    struct Row {
        const char* name;
        std::string text;
        const char* rows;     // as Show prints them
        unsigned line;        // of a refusal
        const char* reason;   // of a refusal; null for a file read
    } rows[] = {
        {"CRLF", "a,b\r\nc,d\r\n", "1:[a][b]\n2:[c][d]\n", 0, nullptr},
        {"LF, no end on the last line", "a,b\nc,d", "1:[a][b]\n2:[c][d]\n", 0, nullptr},
        {"byte-order mark", "\xEF\xBB\xBFmac,baud\r\n", "1:[mac][baud]\n", 0, nullptr},
        {"a mark only at the start", "x\n\xEF\xBB\xBFy\n", "1:[x]\n2:[\xEF\xBB\xBFy]\n", 0, nullptr},
        {"empty fields", ",a,,\n", "1:[][a][][]\n", 0, nullptr},
        {"empty lines are no rows", "\r\n\na\n\r\n\nb\n\n", "3:[a]\n6:[b]\n", 0, nullptr},
        {"quoted empty field is a row", "\"\"\n", "1:[]\n", 0, nullptr},
        {"quotes, commas and line ends in quotes", "\"a,\"\"b\"\"\",\"x\r\ny\nz\"\nnext\n",
         "1:[a,\"b\"][x\r\ny\nz]\n4:[next]\n", 0, nullptr},
        {"spaces are kept", " a , b \n", "1:[ a ][ b ]\n", 0, nullptr},
        {"Chinese", "\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4,1\n", "1:[办公室][1]\n", 0, nullptr},
        {"nothing", "", "", 0, nullptr},
        {"a mark and nothing", "\xEF\xBB\xBF", "", 0, nullptr},
        {"quote in a field", "a,b\nc,d\"e\n", "", 2, "field 2: a quote inside an unquoted field"},
        {"text after a quote", "ok\n\"abc\"x,1\n", "", 2, "field 1: text after a closing quote"},
        {"space after a quote", "ok\n\"abc\" \n", "", 2, "field 1: text after a closing quote"},
        {"unclosed quote", "ok\nx,\"never\nclosed\n\n", "", 2, "field 2: a quote that is never closed"},
        {"lone CR", "a\rb\n", "", 1, "field 1: a carriage return without a line feed"},
        {"lone CR at the end", "a\n\"b\"\r", "", 2, "field 1: a carriage return without a line feed"},
        {"not UTF-8", "a\nb\n\xC3\x28\n", "", 3, "the text is not UTF-8 (save the file as CSV in UTF-8)"},
        {"GBK in quotes", "\"x\n\xB0\xEC\xB9\xAB\xCA\xD2\"\n", "", 2, "the text is not UTF-8 (save the file as CSV in UTF-8)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<cli::CsvRow> got;
        cli::CsvError error;
        EXPECT_EQ(!r.reason, cli::ReadCsv(r.text, got, error)) << "line " << error.line << ": " << error.reason;
        EXPECT_EQ(r.rows, Show(got)) << "a refused file gives no rows";
        if (!r.reason) continue;
        EXPECT_EQ(r.line, error.line);
        EXPECT_EQ(r.reason, error.reason);
    }
}

// A file cut anywhere reads as the whole file's rows up to the cut, the last
// field cut short, or is refused for the one fault a cut can make there.
TEST(Csv, EveryPrefixOfATrickyFileReadsAsTheFileDoesOrIsRefusedForTheCut) {
    const std::string text = "\xEF\xBB\xBFmac,ssid,pass\r\n"
                             "5C:CF:7F:00:00:01,\"\xE8\xBD\xA6\xE9\x97\xB4, \"\"B\"\"\",\"a\r\nb\"\r\n"
                             "\r\n"
                             "5C:CF:7F:00:00:02,,\" x \"\n"
                             "last,\"\",\"\"\"\"";
    std::vector<cli::CsvRow> whole;
    cli::CsvError error;
    ASSERT_TRUE(cli::ReadCsv(text, whole, error)) << error.line << ": " << error.reason;
    ASSERT_EQ("1:[mac][ssid][pass]\n2:[5C:CF:7F:00:00:01][车间, \"B\"][a\r\nb]\n5:[5C:CF:7F:00:00:02][][ x ]\n"
              "6:[last][][\"]\n",
              Show(whole));
    for (size_t cut = 0; cut < text.size(); ++cut) {
        std::vector<cli::CsvRow> got;
        if (!cli::ReadCsv(text.substr(0, cut), got, error)) {
            const std::string& why = error.reason;
            EXPECT_TRUE(why.find("never closed") != std::string::npos ||
                        why.find("carriage return") != std::string::npos || why.find("not UTF-8") != std::string::npos)
                << "cut at " << cut << ": " << why;
            continue;
        }
        ASSERT_LE(got.size(), whole.size()) << cut;
        for (size_t i = 0; i < got.size(); ++i) {
            const cli::CsvRow& a = got[i];
            const cli::CsvRow& b = whole[i];
            EXPECT_EQ(b.line, a.line) << "cut at " << cut << ", row " << i;
            ASSERT_LE(a.fields.size(), b.fields.size()) << cut;
            for (size_t f = 0; f < a.fields.size(); ++f) {
                bool lastOfCut = i + 1 == got.size() && f + 1 == a.fields.size();
                if (lastOfCut) EXPECT_EQ(0u, b.fields[f].compare(0, a.fields[f].size(), a.fields[f])) << cut;
                else EXPECT_EQ(b.fields[f], a.fields[f]) << "cut at " << cut << ", row " << i;
            }
        }
    }
}

TEST(Csv, ChineseTextSurvivesWritingAndReadingBack) {
    const std::vector<std::wstring> fields = {L"5C:CF:7F:00:00:01", L"办公室", L"车间, \"二号\"", L"密码\r\n第二行",
                                              L" 前后有空格 ", L"", L"\U0001F600 emoji"};
    std::string file = cli::kUtf8Bom;
    for (int copy = 0; copy < 2; ++copy) {
        Fields utf8;
        for (const std::wstring& f : fields) {
            std::string u;
            ASSERT_TRUE(cli::WideToUtf8(f, u));
            utf8.push_back(u);
        }
        file += cli::CsvLine(utf8);
    }
    std::vector<cli::CsvRow> rows;
    cli::CsvError error;
    ASSERT_TRUE(cli::ReadCsv(file, rows, error)) << error.line << ": " << error.reason;
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(3u, rows[1].line);   // the first row spans two lines
    for (const cli::CsvRow& row : rows) {
        ASSERT_EQ(fields.size(), row.fields.size());
        for (size_t i = 0; i < fields.size(); ++i) {
            std::wstring back;
            zo::String asString;
            EXPECT_TRUE(cli::Utf8ToWide(row.fields[i], back));
            EXPECT_TRUE(cli::Utf8ToString(row.fields[i], asString));
            EXPECT_EQ(fields[i], back) << i;
            EXPECT_EQ(fields[i], std::wstring(asString.Handle() ? asString.Handle() : L"")) << i;
        }
    }
}

TEST(Csv, Utf8ConversionsRefuseWhatIsNotUtf8OrUtf16) {
    struct Valid {
        std::string utf8;
        std::wstring wide;
    } valid[] = {
        {"", L""},
        {"\x7F", L"\x7F"},
        {"\xC2\x80", L"\x80"},
        {"\xDF\xBF", L"\x7FF"},
        {"\xE0\xA0\x80", L"\x800"},
        {"\xED\x9F\xBF", L"\xD7FF"},
        {"\xEE\x80\x80", L"\xE000"},
        {"\xEF\xBF\xBF", L"\xFFFF"},
        {"\xF0\x90\x80\x80", L"\xD800\xDC00"},
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"\xE5\x8A\x9E", L"办"},
    };
    for (const Valid& v : valid) {
        std::wstring wide;
        std::string utf8;
        EXPECT_TRUE(cli::Utf8ToWide(v.utf8, wide)) << v.utf8;
        EXPECT_EQ(v.wide, wide) << v.utf8;
        EXPECT_TRUE(cli::WideToUtf8(v.wide, utf8));
        EXPECT_EQ(v.utf8, utf8);
    }
    const char* const invalid[] = {
        "\x80",               // a continuation byte alone
        "\xC0\x80",           // overlong
        "\xC1\xBF",           // overlong
        "\xE0\x9F\xBF",       // overlong
        "\xF0\x8F\xBF\xBF",   // overlong
        "\xED\xA0\x80",       // a surrogate
        "\xF4\x90\x80\x80",   // above U+10FFFF
        "\xF5\x80\x80\x80",
        "\xFF",
        "\xE5\x8A",           // cut short
        "ab\xE5",
        "\xE5\x41\x9E",       // a continuation that is none
    };
    for (const char* bytes : invalid) {
        std::wstring wide = L"left over";
        zo::String s(L"left over");
        EXPECT_FALSE(cli::Utf8ToWide(bytes, wide)) << bytes;
        EXPECT_TRUE(wide.empty());
        EXPECT_FALSE(cli::Utf8ToString(bytes, s)) << bytes;
        EXPECT_EQ(0u, s.Length());
    }
    const std::wstring lone[] = {std::wstring(1, L'\xD800'), std::wstring(1, L'\xDC00'), L"a\xD83D" L"b",
                                 L"\xDE00\xD83D"};
    for (const std::wstring& w : lone) {
        std::string utf8 = "left over";
        EXPECT_FALSE(cli::WideToUtf8(w, utf8));
        EXPECT_TRUE(utf8.empty());
    }
}

} // namespace
