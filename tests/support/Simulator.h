// The module simulator as a child process of a test, and the programs that
// sit beside the test executable. Only inside the private test network.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/Win.h"
#include "support/Beside.h"
#include "support/KeptAside.h"
#include "support/Texts.h"
#include "tools/SimulatorLog.h"

namespace zotest {

// A program beside the test (the tool itself by default), started as from a
// desktop: without a console. Ended (and waited for, so that it holds no
// port) if a test leaves it running. The tool's place file is kept aside
// while it lives unless the test keeps it aside itself.
class Program {
public:
    explicit Program(const wchar_t* name = L"ModuleTool.exe") : exe(name) {}
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts it and waits until its window titled title is visible and
    // answers: a window is shown before its first painting is done, and a
    // close would wait for that.
    bool Start(const wchar_t* title = kToolTitle);
    // Posts WM_CLOSE; the exit code, or STILL_ACTIVE when the process has
    // not ended within ms. took gets the milliseconds until it ended.
    DWORD Close(DWORD ms, double* took = nullptr);

    // How long a start may take, until the window answers.
    static const DWORD kStartMs = 15000;

    const wchar_t* exe;
    HANDLE process = nullptr;
    HWND window = nullptr;

private:
    std::unique_ptr<KeptAside> placeFile;
};

// Runs ui_driver.exe on the window titled title with these steps; false when
// a step failed. out gets what it printed.
bool Drive(const std::wstring& steps, std::string& out, const wchar_t* title = kToolTitle);

class Simulator {
public:
    Simulator() {}
    ~Simulator() { Stop(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Starts module_sim.exe with its log (unless log is false: a benchmark's
    // simulator keeps none) and ready files in a fresh folder and waits until
    // every module is bound; false when it does not come up.
    bool Start(const std::wstring& args, bool log = true);
    // Asks it to end, and ends it if it does not within a second.
    void Stop();

    std::vector<simlog::Record> Log() const { return simlog::ReadLog(logPath.c_str()); }
    // Waits up to ms for the log to hold more than `after` records.
    bool WaitForRecords(size_t after, DWORD ms = 5000) const;

private:
    HANDLE process = nullptr;
    std::wstring folder, logPath, readyPath, stopPath;
};

} // namespace zotest
