// The one way framework code reaches the Windows API: Winsock 2 must come
// before <windows.h>, or the old Winsock 1 declarations win.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
