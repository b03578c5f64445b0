// The texts of the boxes the window shows when it refuses a request or a
// save did not take: plain functions from the core's findings to text.
#pragma once
#include "app/module/ModuleProtocol.h"

namespace notices {

// A save refused before anything was sent.
void SaveRefused(const proto::SaveProblem& problem, zo::String& out);
// Each value the module did not take, and what it reports instead.
void NotTaken(const ModleParam& want, const ModleParam& have, zo::String& out);
// A typed address that is no address.
void NotAnAddress(const wchar_t* text, zo::String& out);

} // namespace notices
