// The program's commands, each a thin function over the session, the
// finder and the exchanges, and the entry that picks one from the command
// line. RunCli is the whole program; its result is the exit code.
#pragma once
#include "app/cli/Session.h"

namespace cli {

int RunCli(int argc, wchar_t** argv);

int Scan(Session& s, const Args& a);
int Get(Session& s, const Args& a);
int Aps(Session& s, const Args& a);
int Set(Session& s, const Args& a);
int Export(Session& s, const Args& a);
int Apply(Session& s, const Args& a);

// The module a command's TARGET names: an address (a strict dotted quad) is
// taken as it is, a mac (any case, ':' or '-') is looked for (broadcast,
// then the sweep of every adapter) and its report's own ether_ip is the
// address; found then holds that report and byMac is set. False after
// saying what went wrong; code is the exit code then.
bool Resolve(Session& s, const Args& a, const std::wstring& target, zo::IP& address, ModleParam* found, bool& byMac,
             int& code);

} // namespace cli
