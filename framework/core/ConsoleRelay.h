// ConsoleRelay: the trace console shown by a helper process instead of the
// program itself. A process attached to a console is ended with it: its
// close button ends every attached process at once (under Wine without
// even a control event), so a window program that opened its own console
// could be killed by it. The helper is the program's own executable started
// with kArgument; it opens the console and writes there what comes through
// a pipe, and it ends when the pipe closes. The program watches the helper:
// when it ends first (the user closed the console) every top-level window
// of the program is asked to close, as its own close button does.
// The console never takes the foreground from the program: it opens without
// activation, beside and below the program's window.
#pragma once
#include "core/Win.h"

namespace zo {

class ConsoleRelay {
public:
    // The command-line argument that makes a start of the executable the
    // helper. Only the relay passes it, followed by the program's window.
    static const wchar_t kArgument[];

    ConsoleRelay() {}
    ~ConsoleRelay() { End(); }
    ConsoleRelay(const ConsoleRelay&) = delete;
    ConsoleRelay& operator=(const ConsoleRelay&) = delete;

    // Starts the helper; false when it cannot be started.
    bool Start();
    // Sends one line (its CR LF included): wide text as UTF-16, narrow as
    // bytes of the ANSI code page. False when the helper is gone.
    bool Send(bool wide, const void* text, unsigned bytes);
    // Stops watching and closes the pipe: the helper writes what it has
    // and ends, and its console with it.
    void End();
    DWORD HelperId() const { return helperId; }

    // In the helper, run before the program's own code: relays until the
    // pipe closes and ends the process. Elsewhere it returns at once.
    static void RunIfHelper();

    // Where a window of size w x h goes so that it does not cover `avoid`:
    // right of it, else left, else below, else above, each as close to
    // avoid's top (left) edge as the work area allows. False when no side
    // has room in the work area.
    static bool PlaceBeside(const RECT& avoid, int w, int h, const RECT& work, POINT* at);

private:
    static void CALLBACK OnHelperEnded(void*, BOOLEAN);

    HANDLE pipe = nullptr;      // write end, owned
    HANDLE helper = nullptr;    // process handle, owned
    HANDLE watch = nullptr;     // registered wait on the helper
    DWORD helperId = 0;
};

} // namespace zo
