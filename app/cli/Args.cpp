// Reading the command line.
#include "app/cli/Args.h"

namespace cli {

std::wstring Args::Get(const wchar_t* name, const wchar_t* def) const {
    auto it = options.find(name);
    return it == options.end() ? std::wstring(def) : it->second;
}

bool Args::Number(const wchar_t* name, unsigned def, unsigned min, unsigned max, unsigned& out, std::wstring& error) const {
    out = def;
    auto it = options.find(name);
    if (it == options.end()) return true;
    const std::wstring& v = it->second;
    unsigned long long n = 0;
    bool ok = !v.empty() && v.size() <= 10;
    for (wchar_t c : v) {
        if (c < L'0' || c > L'9') ok = false;
        else n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    if (!ok || n < min || n > max) {
        error = L"--" + std::wstring(name) + L" \"" + v + L"\" is not a number from " + std::to_wstring(min) +
                L" to " + std::to_wstring(max);
        return false;
    }
    out = static_cast<unsigned>(n);
    return true;
}

bool ParseArgs(int argc, wchar_t** argv, int first, const std::vector<OptionSpec>& specs, Args& out, std::wstring& error) {
    for (int i = first; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--help" || a == L"-h" || a == L"/?") {
            out.help = true;
            continue;
        }
        if (a.size() < 3 || a.compare(0, 2, L"--") != 0) {
            out.positional.push_back(a);
            continue;
        }
        std::wstring name = a.substr(2), value;
        size_t eq = name.find(L'=');
        bool inlineValue = eq != std::wstring::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : specs)
            if (name == s.name) option = &s;
        if (!option) {
            error = L"unknown option --" + name;
            return false;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = L"--" + name + L" needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!option->takesValue && inlineValue) {
            error = L"--" + name + L" takes no value";
            return false;
        }
        out.options[name] = value;
    }
    return true;
}

} // namespace cli
