// Shared pieces of the main-window tests: a sink that collects the trace
// lines, a MainFrm shown without a window manager's help, and datagrams
// handed to it as the receive thread hands them.
#pragma once
#include <string>
#include <vector>

#include "app/MainFrm.h"
#include "core/Print.h"
#include "support/Pump.h"
#include "support/TraceSink.h"

namespace apptest {

using zotest::TraceSink;

// Makes and shows the frame's window (no quit on destruction, so one test
// program can make many); null on failure.
HWND ShowFrame(MainFrm& frame, int clientWidth = 0, int clientHeight = 0);
// Sizes a window so that its client area is width x height, and pumps.
void SetClientSize(HWND h, int width, int height);

// Hands bytes to the frame as the receive thread would, from sender.
void Inject(MainFrm& frame, const std::string& bytes, const char* sender = "198.51.100.101");
// Pumps messages until every handed-over datagram has been handled.
bool Settle(MainFrm& frame, DWORD ms = 5000);

// Texts of a window and of a combo box's entries.
std::wstring TextOf(const zo::WndPtr& w);
std::vector<std::wstring> Entries(const zo::ComboBox& box);

// A report as a module writes it.
std::string Report(const char* mac, const char* extra = "");

} // namespace apptest
