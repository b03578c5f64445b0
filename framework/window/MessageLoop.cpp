// The message loop: the dialog window's own key handling, dialog navigation,
// accelerators and filters get each message before it is translated and
// dispatched.
#include "window/MessageLoop.h"

#include "window/IWnd.h"

namespace zo {

static thread_local MessageLoop* messageLoop = nullptr;
static thread_local unsigned loopDepth = 0;

MessageLoop::~MessageLoop() {
    for (unsigned i = 0; i < filters.Count(); ++i) delete filters[i];
}

bool MessageLoop::AddFilter(Filter* f) {
    if (filters.Add(f) == NPOS) {
        delete f;
        return false;
    }
    return true;
}

MessageLoop* GetMessageLoop() {
    if (!messageLoop) messageLoop = new MessageLoop;
    return messageLoop;
}

static bool Consumed(MessageLoop* loop, MSG* m) {
    if (loop->dialog && m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST &&
        SendMessageW(loop->dialog, WM_PRETRANSLATE, 0, reinterpret_cast<LPARAM>(m)))
        return true;
    if (loop->dialog && IsDialogMessageW(loop->dialog, m)) return true;
    if (loop->accelerators && TranslateAcceleratorW(m->hwnd, loop->accelerators, m)) return true;
    for (unsigned i = 0; i < loop->filters.Count(); ++i) {
        MessageLoop::Filter* f = loop->filters[i];
        if (f && !f->IsNull() && f->Procedure()(m)) return true;
    }
    return false;
}

int RunMessageLoop() {
    MessageLoop* loop = GetMessageLoop();
    ++loopDepth;
    MSG m = {};
    // GetMessageW answers -1 on an invalid call; that ends the loop too
    // rather than spinning on the same failure.
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (loop && Consumed(loop, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    // A loop nested in a handler (a modal loop) must not free the record the
    // loop around it is still using.
    if (--loopDepth == 0) {
        delete messageLoop;
        messageLoop = nullptr;
    }
    return static_cast<int>(m.wParam);
}

} // namespace zo
