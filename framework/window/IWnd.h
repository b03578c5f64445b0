// IWnd: a window object. Its own call thunk is the window procedure, so a
// message reaches the object without any lookup: the message table runs
// first, then the built-in handling that raises the typed events, then the
// default procedure unless a handler marked the message handled. The object
// owns its thunks, events, table and creation parameters; it outlives its
// window, and destroying it destroys the window.
#pragma once
#include "core/Base.h"
#include "core/List.h"
#include "core/Object.h"
#include "core/ObjectList.h"
#include "window/CreateStruct.h"
#include "window/Delegate.h"
#include "window/Function.h"
#include "window/Geometry.h"
#include "window/Message.h"
#include "window/WndPtr.h"

namespace zo {

class ICtrl;

// Private messages every framework window understands.
const UINT WM_GETIWND = 0x4FF9;    // answers the IWnd object
const UINT WM_GETICTRL = 0x5FF7;   // answers the ICtrl object of a control, 0 from others
// Answers the height in pixels of a control's font (0 without one); a font
// handle means nothing in another process, this number does.
const UINT WM_GETFONTHEIGHT = 0x4FF7;
// Sent by the message loop to its dialog window with a key message (lParam:
// the MSG) before dialog navigation sees it; non-zero consumes it.
const UINT WM_PRETRANSLATE = 0x4FF8;
// Answers the control font of a top-level view, made for its DPI and owned
// by it (0 from other windows): controls are given this font when made.
const UINT WM_GETCONTROLFONT = 0x4FF6;

class IWnd : public virtual WndPtr {
public:
    // An inclusive range of message ids; the key of one table entry.
    struct _UPOINT {
        unsigned first;
        unsigned last;
        bool operator==(const _UPOINT& o) const { return first == o.first && last == o.last; }
    };
    typedef Delegate<Message*, IWnd*> MessageDelegate;
    typedef Function<LRESULT, HWND, UINT, WPARAM, LPARAM> WindowProcedure;
    typedef Function<void, Message*, ICtrl*> CtrlHandler;

    IWnd();
    // Virtual because owners may hold and delete controls by a base pointer.
    virtual ~IWnd();

    // Makes the window and returns it (null on failure); a plain IWnd has no
    // class of its own and makes none.
    virtual HWND Create(HWND parent);

    // Binds an existing window to this object: the window's procedure
    // becomes this object's thunk. False, after a warning box, when h is not
    // a window.
    bool AttachWindow(HWND h);
    // Reached only through `procedure`.
    LRESULT WindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam);

    // The handlers of exactly this range, appended empty when absent; null
    // only when memory runs out.
    MessageDelegate* GetMessageDelegate(unsigned first, unsigned last);

    template <class T, class M>
    unsigned AddMessageHandler(unsigned first, unsigned last, T* object,
                               void (M::*member)(Message*, IWnd*)) {
        MessageDelegate* d = GetMessageDelegate(first, last);
        return d ? d->Add(object, member) : NPOS;
    }

    // Removes the first entry of this handler in exactly this range; a range
    // that was never registered is not created for it.
    template <class T, class M>
    bool RemoveMessageHandler(unsigned first, unsigned last, T* object,
                              void (M::*member)(Message*, IWnd*)) {
        unsigned i = msgKeys.IndexOf(_UPOINT{first, last});
        if (i == NPOS) return false;
        MessageDelegate* d = msgHandlers.Element(i);
        return d->Delete(d->IndexOf(object, member));
    }

    // Runs every range that holds the message id, in registration order,
    // each handler in its order, whatever they set; the window procedure
    // then acts on the returned record's flags and result.
    Message RunMessageTable(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    CreateStruct* CreateInfo() const { return createInfo.Get(); }

    WindowProcedure procedure;            // this object's window procedure

protected:
    Diction<_UPOINT> msgKeys;                // unique, in registration order
    ObjectList<MessageDelegate> msgHandlers;  // index-parallel to msgKeys

public:
    bool armLeave = true;                 // client leave tracking must be asked for again
    bool armNcLeave = true;               // the same for the non-client area
    Twin32 contentSize;                   // scrollable content (width, height)
    Twin32 scrollPos;                     // scroll position (x, y)
    Twin16 position;                      // last position WM_MOVE reported
    WNDPROC defaultProc = DefWindowProcW; // what unhandled messages go on to
    HCURSOR cursor = NoCursor();          // set on every mouse move
    COLORREF textColor = 0;
    COLORREF backColor = 0x00D8E9EC;      // a non-zero top byte means: no fill
    Object<CreateStruct> createInfo;      // shared creation parameters

    Delegate<unsigned short, unsigned short, IWnd*> commandEvent;   // id, code, source or null
    Delegate<IWnd*> createEvent;
    Delegate<Mouse*, IWnd*> mouseEvent;
    Delegate<NcMouse*, IWnd*> ncMouseEvent;
    Delegate<bool&, IWnd*> closeEvent;    // set the flag to keep the window
    Delegate<Twin16, IWnd*> sizeEvent;    // new client size; not raised when minimised

    Twin32 minClientSize;                 // client limits the user may size to
    Twin32 maxClientSize{65535, 65535};

    // A control's answers to its parent: colours for WM_CTLCOLOR* and its
    // WM_NOTIFY handling. They sit here so that the parent's window procedure
    // reaches them through the control's IWnd; the controls bind them.
    CtrlHandler notifyHandler;
    CtrlHandler colorHandler;

    // The cursor value (all bits set) that leaves the cursor alone.
    static HCURSOR NoCursor() { return reinterpret_cast<HCURSOR>(~uintptr_t(0)); }

private:
    void BuiltIn(Message& m);
    void OnMouse(Message& m);
    void OnNcMouse(Message& m);
    void OnCtlColor(Message& m);
    void OnCommand(Message& m);
    void OnNotify(Message& m);
    void OnGetMinMaxInfo(Message& m);
};

// The procedure of every framework window class: hands the first message of
// a window being created on this thread to its object and attaches it.
LRESULT CALLBACK ClassWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam);

// The object whose window is being created on this thread (null when none).
IWnd* CreatingWindow();
void SetCreatingWindow(IWnd* w);

// The IWnd (or ICtrl) object behind a window handle; null for other windows.
inline IWnd* GetIWnd(HWND h) {
    return h ? reinterpret_cast<IWnd*>(SendMessageW(h, WM_GETIWND, 0, 0)) : nullptr;
}
inline ICtrl* GetICtrl(HWND h) {
    return h ? reinterpret_cast<ICtrl*>(SendMessageW(h, WM_GETICTRL, 0, 0)) : nullptr;
}

} // namespace zo
