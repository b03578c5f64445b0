// Session: what every command shares: the two output streams, the options
// common to the commands, the network (opened on first use) and the runs of
// the engine with progress on the standard error. One per program run; it
// owns the socket.
#pragma once
#include <string>
#include <vector>

#include "app/cli/Args.h"
#include "app/module/Clock.h"
#include "app/module/Engine.h"
#include "app/module/Finder.h"
#include "app/module/SweepTargets.h"
#include "app/cli/TextOut.h"
#include "app/module/UdpTransport.h"

namespace cli {

// The commands are front ends over the module core.
using namespace proto;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNetwork = 3 };

class Session {
public:
    Session();

    // Reads the common options (interval, timeout, retries, passes, quiet);
    // false after saying what was wrong.
    bool ReadCommon(const Args& args);
    // Writes "ModuleCli: message" to the standard error; returns code.
    int Fail(int code, const std::wstring& message);
    void Warn(const std::wstring& message);

    // Opens port 6643; false after saying why (exit code 3).
    bool OpenNetwork();
    // The finder's plan for the options --adapter, --subnet, --quick and
    // --passes; false after saying what was wrong (exit code 2).
    bool Plan(const Args& args, SweepPlan& plan);

    // Runs jobs on the network; progress (hosts asked, modules found) goes
    // to the standard error while it is a console, unless quiet.
    void Run(const std::vector<Job*>& jobs, unsigned lanes, const Finder* progress = nullptr);
    // Clears the progress line before other text goes to the console.
    void ClearProgress();

    TextOut out, err;
    unsigned interval = 50, timeout = 1000, retries = 3, passes = 1;
    bool quiet = false;

private:
    static void OnEvent(void* self);

    UdpTransport udp;
    SystemClock clock;
    const Finder* shown = nullptr;
    uint64_t progressAt = 0;
    bool progressLine = false;
};

// Finds modules by mac (broadcast, then the sweep of every adapter); the
// records found, in the order asked. Missing ones are absent from found.
void FindMacs(Session& s, const std::vector<std::wstring>& macs, const SweepPlan& plan, ModuleSet& found);

} // namespace cli
