// What a framework window adds to a message nobody handles: SendMessageW of
// one such message, a million times, to a framework window (thunk, a message
// table of three ranges, built-in handling, default procedure) and to a plain
// window whose procedure is a switch that ends in DefWindowProcW. A round
// counts only when every send reached a live window (no send failed, and the
// plain procedure saw each one); afterwards the framework window must still
// answer through its table, so a dispatch that skipped its work would not
// pass as fast.
#include <cstdio>

#include "BenchClock.h"
#include "window/View.h"

namespace {

const UINT kUnhandled = WM_USER + 77;
const int kSends = 1000000;
const int kRounds = 7;
const UINT kProbe = WM_USER + 78;

volatile LRESULT sink;
int plainSeen;

LRESULT CALLBACK PlainProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_DROPFILES:
        break;
    case WM_CLOSE:
        DestroyWindow(h);
        return 0;
    default:
        if (msg == kUnhandled) ++plainSeen;
        break;
    }
    return DefWindowProcW(h, msg, w, l);
}

HWND MakePlainWindow() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchPlainWindow";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 100, 100, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
}

// Nanoseconds per send; negative when a send failed (it sets the last error)
// or the window is gone.
double NsPerSend(HWND h) {
    SetLastError(0);
    double start = BenchNow();
    for (int i = 0; i < kSends; ++i) sink = SendMessageW(h, kUnhandled, static_cast<WPARAM>(i), 0);
    double ns = (BenchNow() - start) * 1e9 / kSends;
    return GetLastError() == 0 && IsWindow(h) ? ns : -1;
}

// Answers the probe, added once the rounds are over (a fourth range in the
// table would change what is timed).
struct Probe {
    void OnProbe(zo::Message* m, zo::IWnd*) {
        m->result = 7;
        m->flags |= zo::Message::handled;
    }
};

} // namespace

int main() {
    // A View's own table holds the three ranges WM_PAINT, WM_ERASEBKGND and
    // WM_DROPFILES. Both are message-only windows, which need no display.
    zo::View view;
    view.createInfo->style = 0;
    HWND framework = view.Create(HWND_MESSAGE);
    HWND plain = MakePlainWindow();
    if (!framework || !plain) {
        printf("window_message: could not create the windows\n");
        return 1;
    }

    // Interleaved rounds, best of each, so both see the same machine load.
    double bestFramework = 1e30, bestPlain = 1e30;
    NsPerSend(framework);
    NsPerSend(plain);
    for (int r = 0; r < kRounds; ++r) {
        plainSeen = 0;
        double p = NsPerSend(plain);
        double fw = NsPerSend(framework);
        if (p < 0 || fw < 0 || plainSeen != kSends) {
            printf("window_message: round %d: a send failed or did not reach the procedure "
                   "(plain saw %d of %d): no figures\n", r, plainSeen, kSends);
            return 1;
        }
        if (p < bestPlain) bestPlain = p;
        if (fw < bestFramework) bestFramework = fw;
    }
    Probe probe;
    view.AddMessageHandler(kProbe, kProbe, &probe, &Probe::OnProbe);
    if (SendMessageW(framework, kProbe, 0, 0) != 7) {
        printf("window_message: the framework window no longer answers through its table: no figures\n");
        return 1;
    }
    printf("SendMessageW of an unhandled message, %d sends, best of %d rounds\n", kSends, kRounds);
    printf("  plain window (switch, DefWindowProcW):      %8.1f ns per send\n", bestPlain);
    printf("  framework window (thunk, table, built-in):  %8.1f ns per send\n", bestFramework);
    const double ratio = bestFramework / bestPlain;
    printf("  ratio framework / plain: %.3f\n", ratio);
    printf("goal framework window <= 1.3x plain window: %s\n", ratio <= 1.3 ? "met" : "NOT met");
    DestroyWindow(plain);
    return ratio <= 1.3 ? 0 : 1;
}
