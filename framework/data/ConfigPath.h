// Where the configuration file lives: beside the executable, named after it
// with the extension ".Json" (capital J), and when two spellings of a path
// name the same file. Plain functions over text; the executable's directory
// and base name are taken once per process and kept here.
#pragma once
#include "core/String.h"

namespace zo {

// The configuration file that belongs to an executable at modulePath, e.g.
// C:\Tools\tool.exe gives C:\Tools\tool.Json. The base name is the last path
// component up to its last dot (all of it when it has none); trailing
// separators of the directory and trailing dots of the result are dropped.
void MakeConfigPath(const wchar_t* modulePath, String& out);

// The configuration file of this process's executable.
void ConfigPath(String& out);

// Points ConfigPath at the file that belongs to modulePath instead of the
// running executable, so tests can keep their files in folders of their own;
// null goes back to the executable. The program itself never calls it.
void SetConfigModulePath(const wchar_t* modulePath);

// Whether a and b name the same configuration file: both at least two
// characters, equal after folding A-Z to lower case, with '\' and '/' taken
// as equal and one trailing separator of each ignored.
bool SameConfigPath(const wchar_t* a, const wchar_t* b);

} // namespace zo
