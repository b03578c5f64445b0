// Args: the command line read against a command's list of options. Options
// are spelled "--name value" or "--name=value"; "--help", "-h" and "/?"
// ask for help anywhere. Plain values.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace cli {

struct OptionSpec {
    const wchar_t* name;   // without the dashes
    bool takesValue;
};

struct Args {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> options;   // a switch maps to ""
    bool help = false;

    bool Has(const wchar_t* name) const { return options.count(name) != 0; }
    std::wstring Get(const wchar_t* name, const wchar_t* def = L"") const;
    // A whole number from min to max; error names the option and the value.
    bool Number(const wchar_t* name, unsigned def, unsigned min, unsigned max, unsigned& out, std::wstring& error) const;
};

// Reads argv[first..argc) against specs; false with the reason for an
// unknown option or a missing value.
bool ParseArgs(int argc, wchar_t** argv, int first, const std::vector<OptionSpec>& specs, Args& out, std::wstring& error);

} // namespace cli
