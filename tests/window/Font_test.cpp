// Font records, realizing them, and the default font shared by racing threads.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "support/Child.h"
#include "support/Host.h"
#include "support/Pump.h"
#include "window/Dpi.h"
#include "window/Edit.h"
#include "window/Font.h"

namespace {

const wchar_t* kFortyChars = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";

TEST(FontRecord, StartsAsHeight12NormalWeightDefaultCharsetWithoutName) {
    zo::Font font;
    ASSERT_NE(nullptr, font.LogFont());
    ASSERT_EQ(92u, sizeof(LOGFONTW));
    LOGFONTW want = {};
    want.lfHeight = 12;
    want.lfWeight = FW_NORMAL;
    want.lfCharSet = DEFAULT_CHARSET;
    EXPECT_EQ(0, memcmp(&want, font.LogFont(), sizeof(want))) << "every other field and the whole name are 0";
    EXPECT_EQ(nullptr, font.Handle());
}

TEST(FontRecord, SetNameKeepsThirtyOneCharactersAndCopiesOnlyUpToTheTerminator) {
    zo::Font font;
    font.SetName(kFortyChars);
    EXPECT_EQ(0, font.LogFont()->lfFaceName[31]);
    EXPECT_EQ(std::wstring(kFortyChars, 31), font.LogFont()->lfFaceName);
    font.SetName(L"SimSun");
    EXPECT_STREQ(L"SimSun", font.LogFont()->lfFaceName);
    EXPECT_EQ(L'H', font.LogFont()->lfFaceName[7]) << "behind the terminator the earlier name is left";
    font.SetName(nullptr);
    EXPECT_STREQ(L"SimSun", font.LogFont()->lfFaceName);
}

TEST(FontHandle, RealizeMakesTheFontGetLogFontReadsItBackAndRealizeAgainDeletesThePrevious) {
    zo::Font font;
    EXPECT_FALSE(font.GetLogFont()) << "no font to read yet";
    font.SetSize(20);
    EXPECT_TRUE(font.Realize());
    HFONT first = font.Handle();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(OBJ_FONT, GetObjectType(first));
    font.LogFont()->lfHeight = 0;
    ASSERT_TRUE(font.GetLogFont());
    EXPECT_EQ(20, font.LogFont()->lfHeight);
    EXPECT_EQ(400, font.LogFont()->lfWeight);

    font.SetSize(30);
    font.Realize();
    ASSERT_NE(nullptr, font.Handle());
    EXPECT_EQ(0u, GetObjectType(first)) << "the previous font is deleted";
    ASSERT_TRUE(font.GetLogFont());
    EXPECT_EQ(30, font.LogFont()->lfHeight);
}

TEST(FontHandle, AnUnterminatedFaceNameIsCutWhenRealized) {
    zo::Font font;
    LOGFONTW lf = *font.LogFont();
    for (wchar_t& c : lf.lfFaceName) c = L'Z';
    font.SetLogFont(&lf);
    font.SetName(kFortyChars);
    EXPECT_EQ(L'Z', font.LogFont()->lfFaceName[31]);
    font.Realize();
    ASSERT_NE(nullptr, font.Handle());
    ASSERT_TRUE(font.GetLogFont());
    EXPECT_EQ(std::wstring(kFortyChars, 31), font.LogFont()->lfFaceName);
}

DWORD WINAPI AskForDefaultFont(void* slot) {
    *static_cast<zo::Font**>(slot) = zo::GetDefaultFont();
    return 0;
}

// Holds the creation lock while eight threads ask for the default font:
// none may return while it is held, and all must get the same font.
ZO_CHILD_ROLE(default_font_race) {
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"{61771393-873D-4d52-AC49-8CD9A6DFAE3F}");
    if (!lock || WaitForSingleObject(lock, 10000) != WAIT_OBJECT_0) return 2;
    const int n = 8;
    zo::Font* got[n] = {};
    HANDLE threads[n];
    for (int i = 0; i < n; ++i) {
        threads[i] = CreateThread(nullptr, 0, AskForDefaultFont, &got[i], 0, nullptr);
        if (!threads[i]) return 3;
    }
    // A thread that finishes now made a font without the lock.
    if (WaitForMultipleObjects(n, threads, FALSE, 300) != WAIT_TIMEOUT) return 4;
    ReleaseMutex(lock);
    if (WaitForMultipleObjects(n, threads, TRUE, 10000) != WAIT_OBJECT_0) return 5;
    for (int i = 0; i < n; ++i) {
        CloseHandle(threads[i]);
        if (!got[i] || got[i] != got[0]) return 6;
    }
    if (!got[0]->Handle() || zo::GetDefaultFont() != got[0]) return 7;
    if (!got[0]->GetLogFont() || got[0]->LogFont()->lfHeight != 12) return 8;
    CloseHandle(lock);
    return 0;
}

TEST(DefaultFont, ThreadsRacingForItGetOneFontMadeUnderTheLock) {
    zotest::Child child;
    ASSERT_TRUE(child.Start("default_font_race"));
    EXPECT_EQ(0u, child.Wait(30000));
}

TEST(DefaultFont, IsMadeOnceRealizedAndKept) {
    zo::Font* font = zo::GetDefaultFont();
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(font, zo::GetDefaultFont());
    ASSERT_NE(nullptr, font->Handle());
    EXPECT_EQ(OBJ_FONT, GetObjectType(font->Handle()));
    EXPECT_EQ(12, font->LogFont()->lfHeight);
    EXPECT_EQ(DEFAULT_CHARSET, font->LogFont()->lfCharSet);
}

// Each top-level window makes its controls' font for its own DPI; a DPI
// change remakes that window's font only: the other window's controls and
// the process's default font keep theirs, alive.
TEST(WindowFont, EachWindowOwnsTheFontOfItsDpiAndADpiChangeTouchesNoOtherWindow) {
    zo::Frame a, b;
    ASSERT_TRUE(zotest::ShowHost(a, 300, 200));
    ASSERT_TRUE(zotest::ShowHost(b, 300, 200));
    zo::Edit inA, inB;
    ASSERT_TRUE(inA.Create(a.Handle()));
    ASSERT_TRUE(inB.Create(b.Handle()));
    auto fontOf = [](const zo::Edit& e) { return reinterpret_cast<HFONT>(SendMessageW(e.Handle(), WM_GETFONT, 0, 0)); };
    HFONT before = fontOf(inA), other = fontOf(inB), shared = zo::GetDefaultFont()->Handle();
    ASSERT_NE(before, nullptr);
    EXPECT_NE(before, other) << "each window has a font of its own";
    EXPECT_NE(before, shared);

    RECT r = {0, 0, 450, 300};
    SendMessageW(a.Handle(), zo::kDpiChanged, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&r));
    zotest::PumpMessages();
    HFONT after = fontOf(inA);
    LOGFONTW lf = {};
    ASSERT_EQ(GetObjectW(after, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, zo::ScaleToDpi(zo::GetDefaultFont()->LogFont()->lfHeight, 144));
    EXPECT_EQ(GetObjectType(before), 0u) << "the window's font made for 96 DPI is deleted";
    EXPECT_EQ(fontOf(inB), other);
    EXPECT_EQ(GetObjectType(other), static_cast<DWORD>(OBJ_FONT)) << "the other window's font lives";
    EXPECT_EQ(zo::GetDefaultFont()->Handle(), shared);
    EXPECT_EQ(GetObjectType(shared), static_cast<DWORD>(OBJ_FONT)) << "the default font lives";
}

} // namespace
