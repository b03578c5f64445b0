// WndPosKeeper: remembers where windows were. A registered window is moved
// to its saved rectangle when it is created and its normal rectangle is
// written to the configuration file ("wndpos" -> name) when it is destroyed.
// One keeper per process, made once in the one-way area and never freed; it
// borrows the windows it is given.
#pragma once
#include "core/Base.h"
#include "core/List.h"
#include "core/StringMemList.h"
#include "core/Win.h"
#include "window/IWnd.h"

namespace zo {

class WndPosKeeper : public _class {
public:
    // Bits of restoreFlags: the edges taken from the file.
    enum : unsigned { restoreLeft = 1, restoreTop = 2, restoreRight = 4, restoreBottom = 8,
                      restoreAll = 15 };

    static WndPosKeeper* Instance();

    // Hooks the window's creation and destruction; called from the window's
    // constructor, before the window exists. A window registers once.
    void Register(IWnd* window, const wchar_t* name = L"main");
    // Forgets a window whose object is going away, handlers and all.
    void Unregister(IWnd* window);

    unsigned restoreFlags = 0;

private:
    WndPosKeeper() {}
    // The registration of the window whose table runs, or NPOS.
    unsigned Find(const Message* m, IWnd* window) const;
    void OnRestore(Message* m, IWnd* window);
    void OnSave(Message* m, IWnd* window);

    IntegerList<IWnd*> windows;   // registration order; null where one left
    StringMemList names;          // parallel to windows
};

// Where a window at current goes when saved is restored with flags, applied
// in this order: left moves it keeping its width, top likewise keeping its
// height, right and bottom then take the saved width and height from the
// edges just set. Edges that leave the int range are held at its limits.
RECT RestoredRect(const RECT& current, const RECT& saved, unsigned flags);

// r moved (its size kept) to lie inside the work area; one larger than the
// area keeps its left and top edges on it.
RECT OntoWorkArea(const RECT& r, const RECT& work);
// A rectangle in workspace coordinates as it is, when it lies at least in
// part on a monitor; otherwise moved onto the nearest monitor's work area.
RECT OnAMonitor(const RECT& workspace);

} // namespace zo
