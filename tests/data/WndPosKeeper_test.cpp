// The window-position keeper on real windows: the file a closed window
// leaves (byte for byte), the rectangle the next window takes, the edges
// restoreFlags selects, other members kept, and files that are broken, huge,
// read-only, held by another process or not files at all.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "data/Config.h"
#include "data/ConfigPath.h"
#include "data/ConfigTestFiles.h"
#include "data/WndPosKeeper.h"
#include "support/Pump.h"
#include "window/Frame.h"

using configtest::Exists;
using configtest::Lines;
using configtest::ReadBytes;
using configtest::TempFolder;
using configtest::WriteBytes;
using zo::Rect32;
using zo::WndPosKeeper;

CONFIGTEST_HOLDER_ROLE()

namespace zo {
inline void PrintTo(const Rect32& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
} // namespace zo

namespace {

// The edge arithmetic, without windows: current (200,200)-(700,500), saved
// (100,80)-(740,560); the single bits are tried on real windows below.
TEST(RestoredRect, LeftAndTopMoveThenRightAndBottomSizeFromTheNewEdges) {
    RECT current = {200, 200, 700, 500}, saved = {100, 80, 740, 560};
    EXPECT_EQ(Rect32(100, 200, 740, 500), Rect32(zo::RestoredRect(current, saved, 5)));
    EXPECT_EQ(Rect32(200, 80, 700, 560), Rect32(zo::RestoredRect(current, saved, 10)));
    EXPECT_EQ(Rect32(100, 80, 600, 380), Rect32(zo::RestoredRect(current, saved, 3)));
    EXPECT_EQ(Rect32(200, 200, 700, 500), Rect32(zo::RestoredRect(current, saved, 16)));
    // Edges that would leave the int range are held at its limits.
    RECT huge = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_EQ(Rect32(INT_MIN, INT_MIN, INT_MAX, INT_MAX), Rect32(zo::RestoredRect(current, huge, 15)));
    RECT atEdge = {INT_MAX - 5, 0, INT_MAX, 10};
    EXPECT_EQ(Rect32(INT_MAX - 5, 0, INT_MAX, 10), Rect32(zo::RestoredRect(atEdge, saved, 4)));
}

// A place on no monitor moves onto the work area, its size kept; one larger
// than the area keeps its left and top edges on it.
TEST(OntoWorkArea, MovesThePlaceInsideKeepingItsSize) {
    const RECT work = {0, 30, 1024, 768};
    const struct {
        RECT r;
        Rect32 expected;
    } cases[] = {
        {{100, 100, 500, 400}, Rect32(100, 100, 500, 400)},          // inside: unchanged
        {{-5000, -5000, -4360, -4520}, Rect32(0, 30, 640, 510)},     // far up and left
        {{3000, 2000, 3640, 2480}, Rect32(384, 288, 1024, 768)},     // far down and right
        {{-100, 500, 540, 980}, Rect32(0, 288, 640, 768)},           // across two edges
        {{-50, -50, 1950, 1150}, Rect32(0, 30, 2000, 1230)},         // larger than the area
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Rect32(zo::OntoWorkArea(c.r, work)));
}

// A main window as the tool makes one: a frame registered under a name, at
// the default position (200,200)-(700,500), never shown unless a test does.
struct Remembered : zo::Frame {
    explicit Remembered(const wchar_t* name = L"main", unsigned flags = WndPosKeeper::restoreAll) {
        WndPosKeeper::Instance()->restoreFlags = flags;
        WndPosKeeper::Instance()->Register(this, name);
    }
    ~Remembered() { WndPosKeeper::Instance()->Unregister(this); }
    Rect32 Rect() const {
        RECT r = {};
        GetRect(r);
        return Rect32(r);
    }
};

const Rect32 kDefault(200, 200, 700, 500);

// Where the example window closed, and the file it leaves behind.
const Rect32 kClosed(100, 80, 740, 560);
const std::string kExample = Lines({"{", "\t\"wndpos\" : {", "\t\t\"main\" : {", "\t\t\t\"left\" : 100,",
                                    "\t\t\t\"top\" : 80,", "\t\t\t\"right\" : 740,", "\t\t\t\"bottom\" : 560",
                                    "\t\t}", "\t}", "}"});

// Each test's configuration file is <its own folder>\tool.Json.
class Keeper : public testing::Test {
protected:
    void SetUp() override { zo::SetConfigModulePath(folder.File(L"tool.exe").c_str()); }
    void TearDown() override {
        zotest::PumpMessages();
        zo::SetConfigModulePath(nullptr);
    }
    // Creates a window, leaves it where the keeper put it, closes it at
    // `closeAt` (if given) and returns where it opened.
    Rect32 OpenAndClose(const Rect32* closeAt = nullptr, const wchar_t* name = L"main") {
        Remembered w(name);
        if (!w.Create(nullptr)) {
            ADD_FAILURE() << "no window";
            return Rect32();
        }
        Rect32 opened = w.Rect();
        if (closeAt)
            MoveWindow(w.Handle(), closeAt->left, closeAt->top, closeAt->Width(), closeAt->Height(), FALSE);
        DestroyWindow(w.Handle());
        return opened;
    }
    TempFolder folder;
    std::wstring path = folder.File(L"tool.Json");
};

TEST_F(Keeper, FirstRunMakesTheFileAndTheNextRunOpensWhereTheLastClosed) {
    {
        Remembered w;
        EXPECT_FALSE(Exists(path)) << "registering alone touches no file";
        ASSERT_TRUE(w.Create(nullptr));
        EXPECT_EQ(kDefault, w.Rect());
        EXPECT_EQ("null", ReadBytes(path));
        MoveWindow(w.Handle(), 100, 80, 640, 480, FALSE);
        DestroyWindow(w.Handle());
    }
    EXPECT_EQ(kExample, ReadBytes(path));
    EXPECT_EQ(kClosed, OpenAndClose());
    EXPECT_EQ(kExample, ReadBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"tool.Json"}, folder.Listing());
}

TEST_F(Keeper, OtherMembersSurviveEverySaveReformatted) {
    ASSERT_TRUE(WriteBytes(path, "{\"theme\":\"\xC9\xEE\",\"wndpos\":{\"tools\":{\"left\":1},"
                                 "\"main\":{\"bottom\":290,\"left\":10,\"top\":20,\"right\":330,\"x\":true}},"
                                 "\"list\":[1,2.5]}"));
    Remembered w;
    ASSERT_TRUE(w.Create(nullptr));
    EXPECT_EQ(Rect32(10, 20, 330, 290), w.Rect());
    const std::string head = "{\r\n\t\"theme\" : \"\xC9\xEE\",\r\n\t\"wndpos\" : {\r\n\t\t\"tools\" : {\r\n"
                             "\t\t\t\"left\" : 1\r\n\t\t},\r\n\t\t\"main\" : {\r\n";
    const std::string tail = ",\r\n\t\t\t\"x\" : true\r\n\t\t}\r\n\t},\r\n\t\"list\" : [\r\n\t\t1,\r\n"
                             "\t\t2.500000000000000\r\n\t]\r\n}";
    EXPECT_EQ(head + "\t\t\t\"bottom\" : 290,\r\n\t\t\t\"left\" : 10,\r\n\t\t\t\"top\" : 20,\r\n\t\t\t\"right\" : 330" + tail,
              ReadBytes(path));
    MoveWindow(w.Handle(), 40, 50, 300, 400, FALSE);
    DestroyWindow(w.Handle());
    // Members are overwritten where they stand.
    EXPECT_EQ(head + "\t\t\t\"bottom\" : 450,\r\n\t\t\t\"left\" : 40,\r\n\t\t\t\"top\" : 50,\r\n\t\t\t\"right\" : 340" +
                  tail,
              ReadBytes(path));
}

TEST_F(Keeper, WndposThatIsANumberRestoresNothingAndIsReplacedOnSave) {
    ASSERT_TRUE(WriteBytes(path, "{\"wndpos\":5,\"z\":0}"));
    EXPECT_EQ(kDefault, OpenAndClose(&kClosed));
    EXPECT_EQ(Lines({"{", "\t\"wndpos\" : {", "\t\t\"main\" : {", "\t\t\t\"left\" : 100,", "\t\t\t\"top\" : 80,",
                     "\t\t\t\"right\" : 740,", "\t\t\t\"bottom\" : 560", "\t\t}", "\t},", "\t\"z\" : 0", "}"}),
              ReadBytes(path));
}

TEST_F(Keeper, EntriesThatAreIncompleteOrNotObjectsRestoreNothing) {
    const char* const files[] = {
        "{\"wndpos\":{\"main\":{\"left\":1,\"top\":2,\"right\":300}}}",
        "{\"wndpos\":{\"main\":{\"left\":1,\"top\":2,\"right\":300,\"bottom\":\"400\"}}}",
        "{\"wndpos\":{\"main\":[1,2,300,400]}}",
        "{\"wndpos\":{\"Main\":{\"left\":1,\"top\":2,\"right\":300,\"bottom\":400}}}",
        "[{\"wndpos\":{\"main\":{\"left\":1,\"top\":2,\"right\":300,\"bottom\":400}}}]",
    };
    for (const char* text : files) {
        ASSERT_TRUE(WriteBytes(path, text));
        EXPECT_EQ(kDefault, OpenAndClose(&kClosed)) << text;
        EXPECT_EQ(kClosed, OpenAndClose()) << text << ": the save made the entry whole";
    }
}

TEST_F(Keeper, DoubleEdgesAreTruncated) {
    ASSERT_TRUE(WriteBytes(path, "{\"wndpos\":{\"main\":{\"left\":100.7,\"top\":80.2,\"right\":740.9,"
                                 "\"bottom\":560}}}"));
    EXPECT_EQ(kClosed, OpenAndClose());
}

TEST_F(Keeper, RestoreFlagsSelectTheEdgesOnARealWindow) {
    const unsigned flags[] = {15, 1, 2, 4, 8, 0};
    const Rect32 expected[] = {{100, 80, 740, 560}, {100, 200, 600, 500}, {200, 80, 700, 380},
                               {200, 200, 840, 500}, {200, 200, 700, 680}, {200, 200, 700, 500}};
    for (unsigned i = 0; i < 6; ++i) {
        ASSERT_TRUE(WriteBytes(path, kExample));
        Remembered w(L"main", flags[i]);
        ASSERT_TRUE(w.Create(nullptr));
        EXPECT_EQ(expected[i], w.Rect()) << "restoreFlags " << flags[i];
        DestroyWindow(w.Handle());
    }
}

TEST_F(Keeper, MinimisedAndMaximisedWindowsSaveTheirNormalRectangle) {
    const int shows[] = {SW_SHOWMINNOACTIVE, SW_MAXIMIZE};
    for (int show : shows) {
        {
            Remembered w;
            // Without a window manager, destroying a window the display had
            // handed to one waits two seconds for it; a bare pop-up that was
            // never activated is not handed over. Maximising activates.
            if (show != SW_MAXIMIZE) w.createInfo->style = WS_POPUP;
            ASSERT_TRUE(w.Create(nullptr));
            MoveWindow(w.Handle(), 100, 80, 640, 480, FALSE);
            ShowWindow(w.Handle(), show);
            // Destroyed at once: without a window manager the display would
            // soon put a maximised window back where it was.
            EXPECT_TRUE(show == SW_MAXIMIZE ? IsZoomed(w.Handle()) : IsIconic(w.Handle())) << show;
            EXPECT_NE(kClosed, w.Rect()) << show;
            DestroyWindow(w.Handle());
        }
        EXPECT_EQ(kExample, ReadBytes(path)) << show;
        ASSERT_TRUE(DeleteFileW(path.c_str()));
    }
}

TEST_F(Keeper, EachRegistrationNameHasItsEntryAndUnregisteredWindowsNone) {
    const Rect32 a(10, 20, 310, 220), b(400, 300, 700, 450);
    OpenAndClose(&a, L"main");
    OpenAndClose(&b, L"\u5de5\u5177");
    {
        zo::Frame stranger;
        ASSERT_TRUE(stranger.Create(nullptr));
        MoveWindow(stranger.Handle(), 0, 0, 50, 50, FALSE);
        DestroyWindow(stranger.Handle());
    }
    EXPECT_EQ(a, OpenAndClose(nullptr, L"main"));
    EXPECT_EQ(b, OpenAndClose(nullptr, L"\u5de5\u5177"));
    std::string text = ReadBytes(path);
    EXPECT_NE(std::string::npos, text.find("\t\t\"\xB9\xA4\xBE\xDF\" : {\r\n\t\t\t\"left\" : 400,"));
    EXPECT_EQ(std::string::npos, text.find("\"left\" : 0,"));
}

TEST_F(Keeper, OneRegistrationHooksCreateInitDialogAndDestroyOnce) {
    ASSERT_TRUE(WriteBytes(path, kExample));
    Remembered w;
    WndPosKeeper::Instance()->Register(&w, L"other");
    for (UINT msg : {WM_DESTROY, WM_CREATE, WM_INITDIALOG})
        EXPECT_EQ(1u, w.GetMessageDelegate(msg, msg)->Count()) << msg;
    ASSERT_TRUE(w.Create(nullptr));
    MoveWindow(w.Handle(), 5, 6, 300, 200, FALSE);
    SendMessageW(w.Handle(), WM_INITDIALOG, 0, 0);
    EXPECT_EQ(kClosed, w.Rect());
    DestroyWindow(w.Handle());
}

// A thread that already holds the configuration (nesting never happens in
// the tool itself): the handlers leave the window, the file and that hold alone.
TEST_F(Keeper, HandlersOnAThreadHoldingTheConfigurationChangeNothing) {
    ASSERT_TRUE(WriteBytes(path, kExample));
    zo::Config outer;
    ASSERT_TRUE(outer.Lock());
    outer.Root()[L"wndpos"][L"main"].SetPropertyInt32(L"left", 5);
    const Rect32 closed(30, 40, 430, 340);
    EXPECT_EQ(kDefault, OpenAndClose(&closed));
    EXPECT_EQ(kExample, ReadBytes(path));
    EXPECT_TRUE(outer.IsLocked());
    EXPECT_TRUE(zo::Config::ThreadHoldsLock());
    outer.Release();
    EXPECT_EQ(std::string::npos, ReadBytes(path).find("\"left\" : 100,"));
    EXPECT_NE(std::string::npos, ReadBytes(path).find("\"left\" : 5,"));
}

// Files that must not stop the tool: the window opens where it would
// without a file, nothing crashes, and the folder holds nothing new.
class BadFile : public Keeper {
protected:
    void ExpectDefaultAndNothingElse() {
        EXPECT_EQ(kDefault, OpenAndClose(&kClosed));
        EXPECT_EQ(std::vector<std::wstring>{L"tool.Json"}, folder.Listing());
    }
};

TEST_F(BadFile, TextThatDoesNotParseIsReplacedByWhatTheWindowSaves) {
    for (const std::string& text : {std::string("wndpos main 100 80 740 560"), std::string(1000000, '[')}) {
        ASSERT_TRUE(WriteBytes(path, text));
        ExpectDefaultAndNothingElse();
        EXPECT_EQ(kExample, ReadBytes(path)) << text.size();
    }
}

TEST_F(BadFile, TenMegabytesAreReadAndKept) {
    std::string big(10 * 1024 * 1024, 'x');
    ASSERT_TRUE(WriteBytes(path, "{\"big\":\"" + big + "\"}"));
    ExpectDefaultAndNothingElse();
    EXPECT_EQ(0u, ReadBytes(path).find("{\r\n\t\"big\" : \"" + big + "\",\r\n\t\"wndpos\" : {"));
}

TEST_F(BadFile, AFolderInItsPlaceStaysAFolder) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    ExpectDefaultAndNothingElse();
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(BadFile, ReadOnlyOrHeldByAnotherProcessIsNeitherReadNorWritten) {
    const std::string text = "{\"wndpos\":{\"main\":{\"left\":1,\"top\":2,\"right\":300,\"bottom\":400}}}";
    ASSERT_TRUE(WriteBytes(path, text));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectDefaultAndNothingElse();
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(text, ReadBytes(path));
    {
        configtest::FileHolder holder;
        ASSERT_TRUE(holder.Start(path));
        ExpectDefaultAndNothingElse();
    }
    EXPECT_EQ(text, ReadBytes(path));
}

} // namespace
