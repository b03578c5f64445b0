// A node of the layout tree: a rectangle of a view's client area that either
// holds one child window or is split among its child nodes along one axis.
// A node owns its child nodes and its control object; it never owns the
// window attached with SetWindow (that belongs to whoever created it).
#pragma once
#include "core/Base.h"
#include "core/ObjectList.h"
#include "core/String.h"
#include "core/Win.h"

namespace zo {

class ICtrl;
struct LayoutScale;

class Layout : public TPTree<Layout>, public _class {
public:
    // The rectangle as last placed, in the view's client coordinates. The
    // windows receive full 32-bit values; only these copies are 16 bits.
    short cx = 0;
    short cy = 0;
    short x = 0;
    short y = 0;
    HWND window = nullptr;      // borrowed
    ICtrl* control = nullptr;   // owned; its window is made by Update
    String name;                // a label for people; the engine ignores it
    // Space kept free around the node inside the slot its parent gives it.
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    float weight = 1.0f;        // share of the parent's remaining length
    unsigned flags = 0;         // kLeftToRight, or children top to bottom
    int fixed = 0;              // length along the parent's axis before the share
    // The DPI the rectangles are placed at; the numbers above are 96-DPI
    // pixels at any DPI.
    int dpi = 96;

    static const unsigned kLeftToRight = 1;

    Layout() {}
    virtual ~Layout();

    // Creates the missing control windows of this subtree as children of the
    // owner window (when it is not null), then places this node and its
    // siblings again.
    virtual void Update(HWND owner);

    // The smallest rectangle (without this node's own margins) in which
    // every descendant gets at least its fixed length plus its margins, and
    // nested rows and columns their own such rectangle.
    void Need(int& width, int& height) const;

    // Stores the rectangle, moves the attached window there and splits it
    // among the children (in pixels at the node's DPI).
    void SetRect(int left, int top, int width, int height);
    // Sets the DPI of this node and its whole subtree; it applies from the
    // next placing on.
    void SetDpi(int newDpi);
    // Attaches a window, closing the control this node owned (if any), and
    // places it on the stored rectangle.
    void SetWindow(HWND hwnd);
    // Attaches a window that was made on the stored rectangle: it is moved
    // or sized from now on only when the node's rectangle changes.
    void AttachPlaced(HWND made);

protected:
    // SetRect in units of the scale (see LayoutScale).
    void PlaceUnits(int left, int top, int width, int height, const LayoutScale& s);
    void CreateControls(HWND owner);

private:
    void PlaceWindow(int left, int top, int width, int height);
    void CloseControl();

    // The window this node last placed, and where (left, top, width and
    // height); a window attached or changed since is placed again.
    HWND placedWindow = nullptr;
    RECT placed = {};
};

} // namespace zo
