// Shared pieces of the commands.
#include "app/cli/Session.h"

#include "app/module/Address.h"

#include "app/module/ModuleProtocol.h"

namespace cli {

Session::Session() : out(STD_OUTPUT_HANDLE), err(STD_ERROR_HANDLE) {}

bool Session::ReadCommon(const Args& a) {
    std::wstring e;
    if (!a.Number(L"interval", 50, 1, 10000, interval, e) || !a.Number(L"timeout", 1000, 10, 600000, timeout, e) ||
        !a.Number(L"retries", 3, 0, 100, retries, e) || !a.Number(L"passes", 1, 1, 100, passes, e)) {
        Fail(kExitUsage, e);
        return false;
    }
    quiet = a.Has(L"quiet");
    return true;
}

int Session::Fail(int code, const std::wstring& message) {
    ClearProgress();
    err.Write(L"ModuleCli: " + message + L"\n");
    return code;
}

void Session::Warn(const std::wstring& message) {
    ClearProgress();
    err.Write(L"warning: " + message + L"\n");
}

bool Session::OpenNetwork() {
    int error = 0;
    if (udp.Open(proto::kToolPort, error)) return true;
    if (error == WSAEADDRINUSE || error == WSAEACCES)
        Fail(kExitNetwork, L"UDP port 6643, where modules answer, is used by another program; is the window "
                           L"(ModuleTool, 网络模块设置工具) running? Close it and try again.");
    else
        Fail(kExitNetwork, L"the network cannot be used (Winsock error " + std::to_wstring(error) + L")");
    return false;
}

bool Session::Plan(const Args& a, SweepPlan& plan) {
    plan.passes = passes;
    plan.tail = timeout;
    plan.broadcast = !a.Has(L"no-broadcast") || a.Has(L"quick");
    std::wstring error;
    std::vector<Adapter> adapters;
    LocalAdapters(adapters);
    if (!SweepTargets(adapters, a.Get(L"adapter"), a.Get(L"subnet"), plan.networks, error)) {
        Fail(kExitUsage, error);
        return false;
    }
    std::wstring only = a.Get(L"adapter");
    for (const Adapter& ad : adapters) {
        zo::IP address;
        if (only.empty() || (ParseAddress(only, address) && address == ad.address))
            plan.broadcastFrom.push_back(ad.address);
    }
    if (a.Has(L"quick")) plan.networks.clear();
    return true;
}

void Session::ClearProgress() {
    if (!progressLine) return;
    err.Write(L"\r                                                  \r");
    progressLine = false;
}

void Session::OnEvent(void* self) {
    Session& s = *static_cast<Session*>(self);
    if (!s.shown) return;
    uint64_t now = GetTickCount64();
    if (now < s.progressAt + 100) return;
    s.progressAt = now;
    s.err.Write(L"\rasked " + std::to_wstring(s.shown->Asked()) + L" hosts, found " +
                std::to_wstring(s.shown->Found().Count()) + L" modules ");
    s.progressLine = true;
}

void Session::Run(const std::vector<Job*>& jobs, unsigned lanes, const Finder* progress) {
    shown = err.IsConsole() && !quiet ? progress : nullptr;
    Engine engine(udp, clock, interval, lanes);
    engine.Run(jobs, &Session::OnEvent, this);
    ClearProgress();
    shown = nullptr;
}

void FindMacs(Session& s, const std::vector<std::wstring>& macs, const SweepPlan& base, ModuleSet& found) {
    SweepPlan plan = base;
    plan.wanted = macs;
    Finder finder(plan);
    s.Run({&finder}, finder.Lanes(), &finder);
    for (const std::wstring& mac : macs) {
        const ModleParam* r = finder.Found().Find(mac);
        if (r) found.Add(*r);
    }
}

} // namespace cli
