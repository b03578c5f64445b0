// The window-position keeper. Each handler acquires the configuration,
// reads or changes the tree under its lock and releases it, which writes
// the file back: nothing is kept in memory between creation and destruction.
#include "data/WndPosKeeper.h"

#include <atomic>
#include <climits>

#include "core/GlobalMemory.h"
#include "core/Print.h"
#include "data/Config.h"

namespace zo {

namespace {

const wchar_t kMutexName[] = L"{BACD6A11-00A8-4aee-AFCD-3B81C6135D86}";
const wchar_t kNoConfig[] = L"Config Error: _innerobj is NULL";

std::atomic<WndPosKeeper*> instance{nullptr};

LONG ClampToInt(long long v) {
    return static_cast<LONG>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

} // namespace

RECT RestoredRect(const RECT& current, const RECT& saved, unsigned flags) {
    long long left = current.left, top = current.top, right = current.right, bottom = current.bottom;
    if (flags & WndPosKeeper::restoreLeft) {
        right += saved.left - left;
        left = saved.left;
    }
    if (flags & WndPosKeeper::restoreTop) {
        bottom += saved.top - top;
        top = saved.top;
    }
    if (flags & WndPosKeeper::restoreRight) right = left + (static_cast<long long>(saved.right) - saved.left);
    if (flags & WndPosKeeper::restoreBottom) bottom = top + (static_cast<long long>(saved.bottom) - saved.top);
    RECT r = {ClampToInt(left), ClampToInt(top), ClampToInt(right), ClampToInt(bottom)};
    return r;
}

RECT OntoWorkArea(const RECT& r, const RECT& work) {
    long long width = static_cast<long long>(r.right) - r.left, height = static_cast<long long>(r.bottom) - r.top;
    long long workWidth = static_cast<long long>(work.right) - work.left;
    long long workHeight = static_cast<long long>(work.bottom) - work.top;
    long long left = r.left, top = r.top;
    if (left + width > work.right) left = work.right - width;
    if (top + height > work.bottom) top = work.bottom - height;
    // Too large to fit: the left and top edges stay visible, the title bar with them.
    if (left < work.left || width > workWidth) left = work.left;
    if (top < work.top || height > workHeight) top = work.top;
    RECT out = {ClampToInt(left), ClampToInt(top), ClampToInt(left + width), ClampToInt(top + height)};
    return out;
}

RECT OnAMonitor(const RECT& workspace) {
    // Workspace coordinates are the screen's less the primary monitor's
    // work-area offset.
    POINT origin = {0, 0};
    MONITORINFO primary = {};
    primary.cbSize = sizeof(primary);
    if (!GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &primary)) return workspace;
    long long dx = static_cast<long long>(primary.rcWork.left) - primary.rcMonitor.left;
    long long dy = static_cast<long long>(primary.rcWork.top) - primary.rcMonitor.top;
    RECT screen = {ClampToInt(workspace.left + dx), ClampToInt(workspace.top + dy), ClampToInt(workspace.right + dx),
                   ClampToInt(workspace.bottom + dy)};
    if (MonitorFromRect(&screen, MONITOR_DEFAULTTONULL)) return workspace;
    MONITORINFO nearest = {};
    nearest.cbSize = sizeof(nearest);
    if (!GetMonitorInfoW(MonitorFromRect(&screen, MONITOR_DEFAULTTONEAREST), &nearest)) return workspace;
    RECT placed = OntoWorkArea(screen, nearest.rcWork);
    RECT out = {ClampToInt(placed.left - dx), ClampToInt(placed.top - dy), ClampToInt(placed.right - dx),
                ClampToInt(placed.bottom - dy)};
    return out;
}

WndPosKeeper* WndPosKeeper::Instance() {
    WndPosKeeper* keeper = instance.load(std::memory_order_acquire);
    if (keeper) return keeper;
    // Modules of one process may each link the framework; the named mutex
    // lets only one of them make the keeper.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (mutex) WaitForSingleObject(mutex, INFINITE);
    keeper = instance.load(std::memory_order_acquire);
    if (!keeper) {
        keeper = new (AllocGlobal(sizeof(WndPosKeeper))) WndPosKeeper;
        instance.store(keeper, std::memory_order_release);
    }
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return keeper;
}

void WndPosKeeper::Register(IWnd* window, const wchar_t* name) {
    if (!window || windows.IndexOf(window) != NPOS) return;
    // The two lists stay parallel even when memory runs out.
    unsigned i = windows.Add(window);
    if (i == NPOS) return;
    if (!names.Add(name ? name : L"")) {
        windows.Delete(i);
        return;
    }
    window->AddMessageHandler(WM_DESTROY, WM_DESTROY, this, &WndPosKeeper::OnSave);
    window->AddMessageHandler(WM_CREATE, WM_CREATE, this, &WndPosKeeper::OnRestore);
    window->AddMessageHandler(WM_INITDIALOG, WM_INITDIALOG, this, &WndPosKeeper::OnRestore);
}

void WndPosKeeper::Unregister(IWnd* window) {
    unsigned i = window ? windows.IndexOf(window) : NPOS;
    if (i == NPOS) return;
    window->RemoveMessageHandler(WM_DESTROY, WM_DESTROY, this, &WndPosKeeper::OnSave);
    window->RemoveMessageHandler(WM_CREATE, WM_CREATE, this, &WndPosKeeper::OnRestore);
    window->RemoveMessageHandler(WM_INITDIALOG, WM_INITDIALOG, this, &WndPosKeeper::OnRestore);
    // Names cannot be taken out one by one; the slot stays, empty.
    windows[i] = nullptr;
}

// The window whose table runs is the registered object itself; only the
// live object is looked at, never the other (possibly departed) entries.
unsigned WndPosKeeper::Find(const Message* m, IWnd* window) const {
    unsigned i = windows.IndexOf(window);
    if (i == NPOS || window->Handle() != m->hwnd) return NPOS;
    return i;
}

void WndPosKeeper::OnRestore(Message* m, IWnd* window) {
    unsigned i = Find(m, window);
    if (i == NPOS) return;
    Config config;
    if (config.IsNull()) {
        Print(kNoConfig);
        return;
    }
    if (!config.Lock()) return;
    const Json& root = config.Root();
    const Json* all = root.IsObject() ? root.FindProperty(L"wndpos") : nullptr;
    const Json* entry = all && all->IsObject() ? all->FindProperty(names[i]) : nullptr;
    int left, top, right, bottom;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (entry && entry->GetPropertyInt32(L"left", left) && entry->GetPropertyInt32(L"top", top) &&
        entry->GetPropertyInt32(L"right", right) && entry->GetPropertyInt32(L"bottom", bottom) &&
        GetWindowPlacement(m->hwnd, &placement)) {
        // The place was saved from the normal placement, in workspace
        // coordinates (which differ from the screen's by a taskbar at the
        // top or left), so it goes back the same way.
        RECT saved = {left, top, right, bottom};
        RECT r = OnAMonitor(RestoredRect(placement.rcNormalPosition, saved, restoreFlags));
        placement.rcNormalPosition = r;
        placement.flags = 0;
        // The window is not shown yet; showing it stays its creator's choice.
        placement.showCmd = IsWindowVisible(m->hwnd) ? SW_SHOWNOACTIVATE : SW_HIDE;
        SetWindowPlacement(m->hwnd, &placement);
    }
    // Leaving the scope saves the tree as it was read, even a null one.
}

void WndPosKeeper::OnSave(Message* m, IWnd* window) {
    unsigned i = Find(m, window);
    if (i == NPOS) return;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(m->hwnd, &placement)) return;
    Config config;
    if (config.IsNull()) {
        Print(kNoConfig);
        return;
    }
    if (!config.Lock()) return;
    // Whatever "wndpos" or the entry held before, they become objects.
    Json* all = config.Root().FindProperty(L"wndpos", true);
    Json* entry = all ? all->FindProperty(names[i], true) : nullptr;
    if (!entry) return;
    const RECT& r = placement.rcNormalPosition;
    entry->SetPropertyInt32(L"left", r.left);
    entry->SetPropertyInt32(L"top", r.top);
    entry->SetPropertyInt32(L"right", r.right);
    entry->SetPropertyInt32(L"bottom", r.bottom);
}

} // namespace zo
