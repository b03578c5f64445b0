// The window's save against simulated modules: it is verified and says
// whether it took, without a box when it did; a module speaking UTF-8 keeps
// the texts the user did not edit; a typed address that is no address is
// refused, and so is a save to a module whose address is a broadcast.
// ZO_TEST_RUN_SERIAL: the window binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <cwctype>
#include <thread>

#include "app/module/Address.h"
#include "support/AppWindow.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/Wait.h"

using namespace apptest;
using zotest::PumpUntil;

namespace {

// Module 0 takes saves, 1 ignores them, 2 restarts for 6 s after one (the
// verification, 4 s, hears nothing), 3 speaks UTF-8 (its access point is
// "办公室").
const wchar_t kModules[] = L"--modules 4 --ignore-writes 1 --restart-after-save 2:6000 --utf8 3";

class SaveVerify : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(kModules));
        ASSERT_NE(ShowFrame(f), nullptr);
        for (int i = 0; i < 4; ++i) {
            f.addressEdit.SetText(proto::Dotted(zotest::ModuleAddress(i)).c_str());
            f.refreshButton.Click();
            ASSERT_TRUE(PumpUntil([&] { return f.modules.Count() == static_cast<unsigned>(i + 1); }));
        }
        Settle(f);
    }
    void Choose(int i) {
        f.moduleBox.SetSelection(i);
        SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(f.moduleBox.Handle()));
    }
    // Clicks a button and, meanwhile, reads and closes the first box with
    // that caption (empty when none came within ms).
    std::wstring ClickForBox(zo::Button& button, const wchar_t* caption, DWORD ms) {
        std::wstring text;
        std::thread closer([&] {
            HWND box = nullptr;
            zotest::WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) != nullptr; }, ms);
            if (!box) return;
            wchar_t buf[1024] = {};
            GetWindowTextW(GetDlgItem(box, 0xFFFF), buf, 1024);
            text = buf;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        button.Click();
        PumpUntil([&] { return !text.empty(); }, ms);
        closer.join();
        return text;
    }

    TraceSink trace;
    zotest::Simulator sim;
    MainFrm f;
};

} // namespace

TEST_F(SaveVerify, ATakenSaveShowsWhenItWasSavedAndOneNotTakenOrUnansweredSaysSoInABox) {
    // Taken: a line under the addresses, no box.
    Choose(0);
    f.portEdit.SetText(L"9100");
    f.saveButton.Click();
    ASSERT_TRUE(PumpUntil([&] { return TextOf(f.infoEdit).find(L"已保存 ") != std::wstring::npos; }, 8000));
    std::wstring info = TextOf(f.infoEdit);
    std::wstring at = info.substr(info.find(L"已保存 ") + 4, 8);
    EXPECT_TRUE(at.size() == 8 && at[2] == L':' && at[5] == L':' && iswdigit(at[0]) && iswdigit(at[7])) << info.size();
    EXPECT_FALSE(f.Verifying());

    // Not taken: each value named, with what the module reports.
    Choose(1);
    f.portEdit.SetText(L"9200");
    std::wstring box = ClickForBox(f.saveButton, L"保存", 10000);
    EXPECT_NE(box.find(L"端口：保存的是“9200”，模块报告“8900”"), std::wstring::npos) << box.size();
    EXPECT_EQ(box.find(L"串口速率"), std::wstring::npos) << "only the values not taken are named";
    EXPECT_EQ(TextOf(f.infoEdit).find(L"已保存"), std::wstring::npos);

    // Silent after the save: the box says it does not know.
    Choose(2);
    f.portEdit.SetText(L"9300");
    box = ClickForBox(f.saveButton, L"保存", 10000);
    EXPECT_NE(box.find(L"没有回答"), std::wstring::npos) << box.size();
}

TEST_F(SaveVerify, ANewChoiceEndsTheVerificationOfTheLastSave) {
    Choose(2);
    f.portEdit.SetText(L"9400");
    f.saveButton.Click();
    EXPECT_TRUE(f.Verifying());
    Choose(0);
    EXPECT_FALSE(f.Verifying()) << "the save to module 2 is no longer verified";
}

TEST_F(SaveVerify, AModuleSpeakingUtf8KeepsItsAccessPointNameWhenOnlyThePortIsSaved) {
    Choose(3);
    EXPECT_EQ(TextOf(f.apBox), L"办公室") << "the name is read as UTF-8";
    size_t before = sim.Log().size();
    f.portEdit.SetText(L"9500");
    f.saveButton.Click();
    ASSERT_TRUE(PumpUntil([&] { return TextOf(f.infoEdit).find(L"已保存 ") != std::wstring::npos; }, 8000));
    auto log = sim.Log();
    ASSERT_GT(log.size(), before);
    EXPECT_EQ(log[before].bytes, "set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"198.51.100.10\","
                                 "\"serv_port\":9500,\"ap_ssid\":\"\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\","
                                 "\"ap_pass\":\"pass0003\","
                                 "\"mac\":\"5C:CF:7F:00:00:04\"}");
    ASSERT_TRUE(PumpUntil([&] { return f.modules.Element(3)->serv_port == 9500; }));
    EXPECT_EQ(f.modules.Element(3)->ap_ssid, L"办公室");
}

TEST_F(SaveVerify, AnAddressThatIsNoAddressIsRefusedNamingItAndNothingIsSent) {
    size_t before = sim.Log().size();
    f.addressEdit.SetText(L"198.051.100.101");
    std::wstring box = ClickForBox(f.refreshButton, L"Error", 10000);
    EXPECT_NE(box.find(L"198.051.100.101"), std::wstring::npos) << box.size();
    // A read sent afterwards arrives alone.
    f.addressEdit.SetText(L"198.51.100.101");
    f.refreshButton.Click();
    ASSERT_TRUE(sim.WaitForRecords(before));
    auto log = sim.Log();
    ASSERT_EQ(log.size(), before + 1);
    EXPECT_EQ(log.back().module, 0);
}
