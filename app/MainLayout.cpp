// The main window's layout table and its placing without windows.
#include "app/MainLayout.h"

#include "window/TopLayout.h"

namespace mainlayout {

// The labels sit 3 pixels lower than the boxes beside them so their texts
// line up.
const NodeRow kRows[kNodes] = {
    {L"A", -1, true, 90, 0, 0, 0, 0, 0, kNone},
    {L"A1", 0, true, 350, 0, 0, 0, 0, 0, kSerialGroup},
    {L"A1a", 1, false, 110, 0, 10, 53, 10, 10, kBaudLabel},
    {L"A1b", 1, false, 0, 1, 10, 50, 10, 10, kBaudBox},
    {L"A2", 0, true, 0, 1, 20, 0, 0, 0, kModuleGroup},
    {L"A2a", 4, false, 0, 1, 10, 50, 10, 10, kModuleBox},
    {L"A2b", 4, false, 200, 0, 10, 50, 10, 10, kSearchButton},
    {L"B", -1, true, 90, 0, 0, 30, 0, 0, kServerGroup},
    {L"B1", 7, false, 120, 0, 10, 53, 0, 10, kHostLabel},
    {L"B2", 7, false, 200, 0, 10, 50, 0, 10, kHostBox},
    {L"B3", 7, false, 70, 0, 120, 53, 0, 10, kPortLabel},
    {L"B4", 7, false, 160, 0, 0, 50, 10, 10, kPortEdit},
    {L"C", -1, true, 90, 0, 0, 30, 0, 0, kWifiGroup},
    {L"C1", 12, false, 120, 0, 10, 53, 0, 10, kApLabel},
    {L"C2", 12, false, 200, 0, 10, 50, 0, 10, kApBox},
    {L"C3", 12, false, 60, 0, 10, 50, 0, 10, kApRefreshButton},
    {L"C4", 12, false, 60, 0, 50, 53, 0, 10, kPassLabel},
    {L"C5", 12, false, 160, 0, 10, 50, 10, 10, kPassEdit},
    // D keeps the node defaults: a column of weight 1.
    {L"D", -1, false, 0, 1, 0, 0, 0, 0, kNone},
    {L"D1", 18, true, 0, 1, 0, 40, 0, 0, kNone},
    {L"D1a", 19, false, 0, 1, 0, 0, 30, 0, kInfoEdit},
    {L"D1b", 19, false, 150, 0, 0, 0, 0, 0, kNone},
    {L"D1b1", 21, false, 30, 0, 0, 0, 0, 0, kAddressEdit},
    {L"D1b2", 21, false, 40, 0, 0, 20, 0, 0, kRefreshButton},
    {L"D1b3", 21, false, 40, 0, 0, 20, 0, 0, kSaveButton},
};

const wchar_t* const kTitles[kControls] = {
    nullptr, L"网络模块", L"搜索联网模块", L"串口设置", L"服务器设置", nullptr, L"串口速率:",
    L"IP地址/域名:", L"端口:", nullptr, nullptr, L"WIFI 设置", L"可用WIFI:", nullptr,
    L"刷新", L"密码:", nullptr, nullptr, nullptr, L"刷新", L"保存"};

const wchar_t kBaudRates[] = L"9600,19200,38400,57600,115200";
const wchar_t kDefaultHosts[] = L"modules.example.com,";

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
        Control c = kRows[i].control;
        if (c == kNone || !nodes[i]) continue;
        out[c] = RECT{nodes[i]->x, nodes[i]->y, nodes[i]->x + nodes[i]->cx, nodes[i]->y + nodes[i]->cy};
    }
    return client;
}

} // namespace mainlayout
