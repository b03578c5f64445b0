// ModuleCli: the command-line companion of the window; everything it does
// is in app/cli (RunCli).
#include "app/cli/Commands.h"

int wmain(int argc, wchar_t** argv) { return cli::RunCli(argc, argv); }
