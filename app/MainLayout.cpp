// The main window's layout table and its placing without windows.
#include "app/MainLayout.h"

#include "window/TopLayout.h"

namespace mainlayout {

// The labels sit 3 pixels lower than the boxes beside them so their texts
// line up. Control indices follow the creation order: 0 the module list,
// 1 its group, 2 the search button, 3 and 4 the serial and server groups,
// 5 the baud rates, 6 to 8 their labels, 9 the hosts, 10 the port, 11 the
// WiFi group, 12 its label, 13 the access points, 14 their refresh, 15 the
// password's label, 16 the password, 17 the information, 18 the address,
// 19 the lower refresh, 20 save.
const NodeRow kRows[kNodes] = {
    {L"A", -1, true, 90, 0, 0, 0, 0, 0, -1},
    {L"A1", 0, true, 350, 0, 0, 0, 0, 0, 3},
    {L"A1a", 1, false, 110, 0, 10, 53, 10, 10, 6},
    {L"A1b", 1, false, 0, 1, 10, 50, 10, 10, 5},
    {L"A2", 0, true, 0, 1, 20, 0, 0, 0, 1},
    {L"A2a", 4, false, 0, 1, 10, 50, 10, 10, 0},
    {L"A2b", 4, false, 200, 0, 10, 50, 10, 10, 2},
    {L"B", -1, true, 90, 0, 0, 30, 0, 0, 4},
    {L"B1", 7, false, 120, 0, 10, 53, 0, 10, 7},
    {L"B2", 7, false, 200, 0, 10, 50, 0, 10, 9},
    {L"B3", 7, false, 70, 0, 120, 53, 0, 10, 8},
    {L"B4", 7, false, 160, 0, 0, 50, 10, 10, 10},
    {L"C", -1, true, 90, 0, 0, 30, 0, 0, 11},
    {L"C1", 12, false, 120, 0, 10, 53, 0, 10, 12},
    {L"C2", 12, false, 200, 0, 10, 50, 0, 10, 13},
    {L"C3", 12, false, 60, 0, 10, 50, 0, 10, 14},
    {L"C4", 12, false, 60, 0, 50, 53, 0, 10, 15},
    {L"C5", 12, false, 160, 0, 10, 50, 10, 10, 16},
    // D keeps the node defaults: a column of weight 1.
    {L"D", -1, false, 0, 1, 0, 0, 0, 0, -1},
    {L"D1", 18, true, 0, 1, 0, 40, 0, 0, -1},
    {L"D1a", 19, false, 0, 1, 0, 0, 30, 0, 17},
    {L"D1b", 19, false, 150, 0, 0, 0, 0, 0, -1},
    {L"D1b1", 21, false, 30, 0, 0, 0, 0, 0, 18},
    {L"D1b2", 21, false, 40, 0, 0, 20, 0, 0, 19},
    {L"D1b3", 21, false, 40, 0, 0, 20, 0, 0, 20},
};

void Build(zo::Layout& root, zo::Layout* nodes[kNodes]) {
    root.name = L"Root";
    root.marginLeft = root.marginTop = root.marginRight = root.marginBottom = kRootMargin;
    root.weight = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
        const NodeRow& r = kRows[i];
        zo::Layout* parent = r.parent < 0 ? &root : nodes[r.parent];
        zo::Layout* n = parent ? parent->Add() : nullptr;
        nodes[i] = n;
        if (!n) continue;
        n->name = r.name;
        n->flags = r.row ? zo::Layout::kLeftToRight : 0;
        n->fixed = r.fixed;
        n->weight = r.weight;
        n->marginLeft = r.left;
        n->marginTop = r.top;
        n->marginRight = r.right;
        n->marginBottom = r.bottom;
    }
}

zo::Twin32 Place(int dpi, RECT out[kControls]) {
    zo::TopLayout root;
    zo::Layout* nodes[kNodes] = {};
    Build(root, nodes);
    zo::Twin32 client = root.MinClientSize(dpi);
    root.SetDpi(dpi);
    root.PlaceClient(client.x, client.y);
    for (unsigned i = 0; i < kNodes; ++i) {
        int c = kRows[i].control;
        if (c < 0 || !nodes[i]) continue;
        out[c] = RECT{nodes[i]->x, nodes[i]->y, nodes[i]->x + nodes[i]->cx, nodes[i]->y + nodes[i]->cy};
    }
    return client;
}

} // namespace mainlayout
