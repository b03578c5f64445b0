// The main window's layout table: the layout tree a node a row, in 96-DPI
// pixels, with the control each node shows named by its id, which is also
// its place in the order the window makes its controls. The window and its
// bare start-up twin (tools/bare_window) both take their rectangles from it.
#pragma once
#include "core/Win.h"
#include "window/Geometry.h"
#include "window/Layout.h"

namespace mainlayout {

// The controls, in the order the window makes them.
enum Control : int {
    kNone = -1,
    kModuleBox, kModuleGroup, kSearchButton, kSerialGroup, kServerGroup, kBaudBox, kBaudLabel,
    kHostLabel, kPortLabel, kHostBox, kPortEdit, kWifiGroup, kApLabel, kApBox,
    kApRefreshButton, kPassLabel, kPassEdit, kInfoEdit, kAddressEdit, kRefreshButton, kSaveButton,
    kControlCount
};

// Each row is appended as the last child of its parent (an earlier row; -1
// is the root). A row arranges its children left to right, a column top to
// bottom; fixed is the length along the parent's axis; the margins are
// left, top, right, bottom.
struct NodeRow {
    const wchar_t* name;
    int parent;
    bool row;
    int fixed;
    float weight;
    int left, top, right, bottom;
    Control control;   // kNone: the node shows no window
};

const unsigned kNodes = 25;
const unsigned kControls = kControlCount;
const int kRootMargin = 10;
extern const NodeRow kRows[kNodes];
// Each control's text when it is made (null: none).
extern const wchar_t* const kTitles[kControls];
// The baud rates listed, and the server host name that heads the server
// list followed by its "," (the local address follows it when found).
extern const wchar_t kBaudRates[];
extern const wchar_t kDefaultHosts[];

// Builds the tree under root (root's own margins included); nodes[i] gets
// row i's node (null when the tree could not grow).
void Build(zo::Layout& root, zo::Layout* nodes[kNodes]);

// The smallest client area at a DPI and every control's rectangle there,
// in creation order, as the window places them (a drop-down box's height
// is then set by its font).
zo::Twin32 Place(int dpi, RECT out[kControls]);

} // namespace mainlayout
