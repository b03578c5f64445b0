// Json::LoadFile and Json::SaveFile on real files: the exact bytes (code page
// 936, pretty form, no byte-order mark), files that cannot be used, and a
// writer that dies mid-save never leaving the file empty or cut short.
#include <gtest/gtest.h>

#include <string>

#include "data/ConfigTestFiles.h"
#include "data/Json.h"
#include "support/Child.h"
#include "support/Wait.h"

using configtest::Exists;
using configtest::Lines;
using configtest::ReadBytes;
using configtest::TempFolder;
using configtest::WriteBytes;
using zo::Json;

CONFIGTEST_HOLDER_ROLE()

namespace {

std::string Pretty(const Json& v) {
    zo::String text, indent;
    v.ToString(text, indent, true);
    zo::Memory<char> bytes;
    int n = text.ToMultiByte(bytes);
    return n > 0 ? std::string(bytes.data, n) : std::string();
}

// {"name":"网络模块","n":[1,2.5]} in code page 936.
const char* const kGbkFile =
    "{\r\n\t\"name\" : \"\xCD\xF8\xC2\xE7\xC4\xA3\xBF\xE9\",\r\n\t\"n\" : [\r\n\t\t1,\r\n"
    "\t\t2.500000000000000\r\n\t]\r\n}";

// Each test works on a.Json in a folder of its own.
class InFolder : public testing::Test {
protected:
    TempFolder folder;
    std::wstring path = folder.File(L"a.Json");
};
class JsonSaveFile : public InFolder {};
class JsonLoadFile : public InFolder {};

TEST_F(JsonSaveFile, PrettyTextInTheAnsiCodePageWithoutMark) {
    ASSERT_EQ(936u, GetACP());
    Json v;
    v.SetPropertyStr(L"name", L"\u7f51\u7edc\u6a21\u5757");
    v.SetPropertyArray(L"n");
    v[L"n"][0] = 1;
    v[L"n"][1] = 2.5;
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ(kGbkFile, ReadBytes(path));
    // Only the file is left: the text written beside it has taken its place.
    EXPECT_EQ(std::vector<std::wstring>{L"a.Json"}, folder.Listing());
}

TEST_F(JsonSaveFile, ReplacesALongerFileEntirely) {
    ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x')));
    Json v(7);
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ("7", ReadBytes(path));
}

TEST_F(JsonSaveFile, CreatesAMissingFile) {
    Json v;
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ("null", ReadBytes(path));
}

TEST_F(JsonLoadFile, ReadsWhatSaveWrote) {
    ASSERT_TRUE(WriteBytes(path, kGbkFile));
    Json v(3);
    ASSERT_TRUE(v.LoadFile(path.c_str()));
    EXPECT_STREQ(L"\u7f51\u7edc\u6a21\u5757", v.PropertyStr(L"name", L""));
    EXPECT_EQ(2u, v[L"n"].Count());
    EXPECT_EQ(kGbkFile, Pretty(v));
}

TEST_F(JsonLoadFile, EmptyFileIsNullAndSucceeds) {
    ASSERT_TRUE(WriteBytes(path, ""));
    Json v(3);
    EXPECT_TRUE(v.LoadFile(path.c_str()));
    EXPECT_TRUE(v.IsNull());
}

TEST_F(JsonLoadFile, TextThatIsNotJsonFails) {
    ASSERT_TRUE(WriteBytes(path, "{\"a\":1, b}"));
    Json v;
    EXPECT_FALSE(v.LoadFile(path.c_str()));
    EXPECT_EQ("{\"a\":1, b}", ReadBytes(path));
}

TEST_F(JsonLoadFile, DeepNestingFailsWithoutCrashing) {
    ASSERT_TRUE(WriteBytes(path, std::string(1000000, '[') + std::string(1000000, ']')));
    Json v;
    EXPECT_FALSE(v.LoadFile(path.c_str()));
}

// Files the operations must not use: each leaves the value and the disk as
// they were.
class UnusableFile : public InFolder {
protected:
    void ExpectNeitherLoadNorSave(const char* content) {
        Json v(42);
        EXPECT_FALSE(v.LoadFile(path.c_str()));
        EXPECT_EQ(42, v.Int32(0));   // unchanged
        Json other(L"other");
        EXPECT_FALSE(other.SaveFile(path.c_str()));
        if (content) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            EXPECT_EQ(content, ReadBytes(path));
        }
        EXPECT_EQ(std::vector<std::wstring>{L"a.Json"}, folder.Listing());
    }
};

TEST_F(UnusableFile, Missing) {
    Json v(42);
    EXPECT_FALSE(v.LoadFile(path.c_str()));
    EXPECT_EQ(42, v.Int32(0));
    EXPECT_FALSE(Exists(path));
}

TEST_F(UnusableFile, ReadOnly) {
    ASSERT_TRUE(WriteBytes(path, "{\"keep\":1}"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectNeitherLoadNorSave("{\"keep\":1}");
}

TEST_F(UnusableFile, AFolderInItsPlace) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    ExpectNeitherLoadNorSave(nullptr);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(UnusableFile, HeldByAnotherProcess) {
    ASSERT_TRUE(WriteBytes(path, "{\"keep\":2}"));
    {
        configtest::FileHolder holder;
        ASSERT_TRUE(holder.Start(path));
        Json v(42);
        EXPECT_FALSE(v.LoadFile(path.c_str()));
        EXPECT_EQ(42, v.Int32(0));
        Json other(L"other");
        EXPECT_FALSE(other.SaveFile(path.c_str()));
        EXPECT_EQ(std::vector<std::wstring>{L"a.Json"}, folder.Listing());
    }
    EXPECT_EQ("{\"keep\":2}", ReadBytes(path));
}

TEST_F(JsonSaveFile, StillSavesWhenNothingCanBeWrittenBesideTheFile) {
    ASSERT_TRUE(WriteBytes(path, "old old old"));
    ASSERT_TRUE(CreateDirectoryW((path + L".tmp").c_str(), nullptr));
    Json v(L"new");
    EXPECT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ("\"new\"", ReadBytes(path));
}

TEST_F(JsonSaveFile, StillSavesWhileAReaderHoldsTheFile) {
    ASSERT_TRUE(WriteBytes(path, "old old old"));
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    Json v(L"new");
    EXPECT_TRUE(v.SaveFile(path.c_str()));
    CloseHandle(reader);
    EXPECT_EQ("\"new\"", ReadBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"a.Json"}, folder.Listing());
}

// Two large trees that differ throughout, so a file cut anywhere matches neither.
Json BigTree(char mark) {
    Json v;
    std::wstring piece(200, wchar_t(mark));
    for (int i = 0; i < 2000; ++i) v[i] = piece.c_str();
    return v;
}

// Saves the two big trees in turn until killed. argv[0]: the file.
ZO_CHILD_ROLE(SaveForever) {
    if (argc < 1) return 9;
    Json a = BigTree('a'), b = BigTree('b');
    for (int i = 0; i < 100000; ++i)
        if (!(i % 2 ? a : b).SaveFile(argv[0])) return 3;
    return 0;
}

TEST_F(JsonSaveFile, AWriterKilledMidSaveLeavesACompleteFile) {
    std::string a = Pretty(BigTree('a')), b = Pretty(BigTree('b'));
    ASSERT_TRUE(BigTree('a').SaveFile(path.c_str()));
    zotest::Child writer;
    ASSERT_TRUE(writer.Start("SaveForever", L"\"" + path + L"\""));
    // Watch the file while it is rewritten again and again, without opening
    // it (an open file cannot be renamed over): its size is always that of
    // a whole version (both have the same). A file cut and then written
    // would be seen here with 0 bytes, or fewer than a version.
    ASSERT_EQ(a.size(), b.size());
    int saves = 0;
    FILETIME previous = {};
    DWORD start = GetTickCount();
    for (unsigned i = 0; saves < 40 && GetTickCount() - start < 20000; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) << "sample " << i;
        ASSERT_EQ(a.size(), data.nFileSizeLow) << "sample " << i;
        if (CompareFileTime(&previous, &data.ftLastWriteTime) != 0) ++saves;
        previous = data.ftLastWriteTime;
    }
    EXPECT_EQ(40, saves) << "the writer did not get through its saves";
    ASSERT_TRUE(TerminateProcess(writer.Process(), 7));
    ASSERT_EQ(7u, writer.Wait(10000));
    std::string last = ReadBytes(path);
    EXPECT_TRUE(last == a || last == b) << last.size() << " bytes";
    // A text left beside the file by the killed writer goes with the next save.
    Json v(1);
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ("1", ReadBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"a.Json"}, folder.Listing());
}

} // namespace
