// Box texts of the main window.
#include "app/Notices.h"

#include "app/module/Settings.h"

namespace notices {

void SaveRefused(const proto::SaveProblem& problem, zo::String& out) {
    if (problem.kind == proto::SaveProblem::kCannotCarry)
        out.Format(L"%s 中有模块不能保存的字符。\r\n没有发送。", problem.member);
    else if (problem.kind == proto::SaveProblem::kNotExact)
        out.Format(L"模块的 %s 没能准确读出，保存会改变它；请重新输入后再保存。\r\n没有发送。", problem.member);
    else
        out = L"保存没有发送。";
}

void NotTaken(const ModleParam& want, const ModleParam& have, zo::String& out) {
    static const wchar_t* const names[proto::kSettingKeys] = {L"串口速率", L"服务器", L"端口", L"WIFI", L"密码"};
    out = L"模块没有接受这些值：\r\n";
    for (int k = 0; k < proto::kSettingKeys; ++k) {
        proto::SettingKey key = static_cast<proto::SettingKey>(k);
        std::wstring w = proto::ValueText(want, key), h = proto::ValueText(have, key);
        if (w == h) continue;
        zo::String line;
        if (key == proto::kPass)
            line.Format(L"%s：保存的值没有被接受\r\n", names[k]);
        else
            line.Format(L"%s：保存的是“%s”，模块报告“%s”\r\n", names[k], w.c_str(), h.c_str());
        out += line;
    }
}

void NotAnAddress(const wchar_t* text, zo::String& out) {
    out.Format(L"地址“%s”不是IPv4地址（四个0到255的十进制数，用点隔开，不带前导零）。\r\n请求没有发送。",
               text ? text : L"");
}

} // namespace notices
