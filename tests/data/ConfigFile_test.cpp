// Json::LoadFile and Json::SaveFile on real files: the exact bytes (code page
// 936, pretty form, no byte-order mark), files that cannot be used, and a
// writer that dies mid-save never leaving the file empty or cut short.
#include <gtest/gtest.h>

#include <string>

#include "data/ConfigTestFiles.h"
#include "data/Json.h"
#include "support/Child.h"

using configtest::ReadBytes;
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

// Each test works on a.Json in a folder of its own.
class JsonFile : public testing::Test {
protected:
    configtest::TempFolder folder;
    std::wstring path = folder.File(L"a.Json");
    const std::vector<std::wstring> onlyTheFile{L"a.Json"};
};

TEST_F(JsonFile, SavesPrettyTextInCodePage936AndLoadsItBack) {
    ASSERT_EQ(936u, GetACP());
    ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x')));   // longer than the new text
    Json v;
    v.SetPropertyStr(L"name", L"\u7f51\u7edc\u6a21\u5757");
    v.SetPropertyArray(L"n");
    v[L"n"][0] = 1;
    v[L"n"][1] = 2.5;
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    const std::string gbk = "{\r\n\t\"name\" : \"\xCD\xF8\xC2\xE7\xC4\xA3\xBF\xE9\",\r\n\t\"n\" : [\r\n\t\t1,\r\n"
                            "\t\t2.500000000000000\r\n\t]\r\n}";
    EXPECT_EQ(gbk, ReadBytes(path));
    // Only the file is left: the text written beside it has taken its place.
    EXPECT_EQ(onlyTheFile, folder.Listing());

    Json back(3);
    ASSERT_TRUE(back.LoadFile(path.c_str()));
    EXPECT_STREQ(L"\u7f51\u7edc\u6a21\u5757", back.PropertyStr(L"name", L""));
    EXPECT_EQ(gbk, Pretty(back));
}

TEST_F(JsonFile, EmptyLoadsAsNullMissingLeavesTheValueAndIsMadeBySave) {
    Json v(42);
    EXPECT_FALSE(v.LoadFile(path.c_str()));
    EXPECT_EQ(42, v.Int32(0));
    EXPECT_FALSE(configtest::Exists(path));
    ASSERT_TRUE(WriteBytes(path, ""));
    EXPECT_TRUE(v.LoadFile(path.c_str()));
    EXPECT_TRUE(v.IsNull());
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    ASSERT_TRUE(v.SaveFile(path.c_str()));
    EXPECT_EQ("null", ReadBytes(path));
}

// Files both operations must leave alone: the value and the disk stay as
// they were.
TEST_F(JsonFile, ReadOnlyFolderOrHeldByAnotherProcessIsNeitherLoadedNorSaved) {
    const std::string text = "{\"keep\":1}";
    for (int kind = 0; kind < 3; ++kind) {
        {
            configtest::FileHolder holder;
            bool ready = kind == 1 ? CreateDirectoryW(path.c_str(), nullptr) != FALSE
                                   : WriteBytes(path, text) &&
                                         (kind == 0 ? SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE
                                                    : holder.Start(path));
            ASSERT_TRUE(ready) << kind;
            Json v(42), other(L"other");
            EXPECT_FALSE(v.LoadFile(path.c_str())) << kind;
            EXPECT_EQ(42, v.Int32(0)) << kind;
            EXPECT_FALSE(other.SaveFile(path.c_str())) << kind;
            EXPECT_EQ(onlyTheFile, folder.Listing()) << kind;
        }
        if (kind == 1) {
            EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
            ASSERT_TRUE(RemoveDirectoryW(path.c_str()));
        } else {
            EXPECT_EQ(text, ReadBytes(path)) << kind;
            ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path.c_str()));
        }
    }
}

// When the new text cannot take the file's place (a folder where it would
// be written, a reader holding the file) the file is written in place.
TEST_F(JsonFile, StillSavesWhenTheTextCannotBePutBesideTheFile) {
    ASSERT_TRUE(WriteBytes(path, "old old old"));
    ASSERT_TRUE(CreateDirectoryW((path + L".tmp").c_str(), nullptr));
    EXPECT_TRUE(Json(L"new").SaveFile(path.c_str()));
    EXPECT_EQ("\"new\"", ReadBytes(path));
    ASSERT_TRUE(RemoveDirectoryW((path + L".tmp").c_str()));

    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_TRUE(Json(L"newer").SaveFile(path.c_str()));
    CloseHandle(reader);
    EXPECT_EQ("\"newer\"", ReadBytes(path));
    EXPECT_EQ(onlyTheFile, folder.Listing());
}

// Two large trees of the same size that differ throughout.
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

TEST_F(JsonFile, AWriterKilledMidSaveLeavesACompleteFile) {
    std::string a = Pretty(BigTree('a')), b = Pretty(BigTree('b'));
    ASSERT_EQ(a.size(), b.size());
    ASSERT_TRUE(BigTree('a').SaveFile(path.c_str()));
    zotest::Child writer;
    ASSERT_TRUE(writer.Start("SaveForever", L"\"" + path + L"\""));
    // Watch the file, without opening it (an open file cannot be renamed
    // over), while it is rewritten again and again: its size is always that
    // of a whole version. A file cut and then written shows 0 bytes or fewer.
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
    // A text the killed writer left beside the file goes with the next save.
    ASSERT_TRUE(Json(1).SaveFile(path.c_str()));
    EXPECT_EQ("1", ReadBytes(path));
    EXPECT_EQ(onlyTheFile, folder.Listing());
}

} // namespace
