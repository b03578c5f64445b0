// Resource identifiers and the program's version, shared by the program's
// code and its resource script (which windres preprocesses with RC_INVOKED).
// Keep every value a plain "#define NAME number": packaging reads them too.
#pragma once

#define IDI_MAIN 101

#define APP_VERSION_MAJOR 1
#define APP_VERSION_MINOR 0
#define APP_VERSION_PATCH 0
#define APP_VERSION_BUILD 0
