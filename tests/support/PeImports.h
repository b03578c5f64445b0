// The DLLs a Windows program names in its import tables, plain and delayed,
// and the functions of the plain table, read from the file's bytes (PE32 and
// PE32+); for the import test and the size benchmark alike, so header-only.
#pragma once
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace zotest {

// Little-endian reads that fail past the end instead of reading beyond it.
struct PeBytes {
    const std::string& b;
    bool ok = true;
    unsigned long long Read(size_t at, unsigned size) {
        if (at > b.size() || b.size() - at < size) {
            ok = false;
            return 0;
        }
        unsigned long long v = 0;
        for (unsigned i = 0; i < size; ++i) v |= static_cast<unsigned long long>(static_cast<unsigned char>(b[at + i])) << (8 * i);
        return v;
    }
    unsigned U16(size_t at) { return static_cast<unsigned>(Read(at, 2)); }
    unsigned long U32(size_t at) { return static_cast<unsigned long>(Read(at, 4)); }
};

struct PeImports {
    unsigned machine = 0;
    unsigned magic = 0;   // 0x10B: PE32, 0x20B: PE32+
    std::vector<std::string> dlls;   // lower case, in table order, plain then delayed
    std::vector<std::string> functions;   // imported by name, plain table, as written
};

// False when the bytes are no PE image or a table points outside the file.
inline bool ReadImports(const std::string& file, PeImports& out) {
    PeBytes r{file};
    if (r.U16(0) != 0x5A4D) return false;   // "MZ"
    size_t pe = r.U32(0x3C);
    if (r.U32(pe) != 0x00004550) return false;   // "PE\0\0"
    out.machine = r.U16(pe + 4);
    unsigned sections = r.U16(pe + 6);
    size_t optional = pe + 24, optionalSize = r.U16(pe + 20);
    out.magic = r.U16(optional);
    size_t directories;
    if (out.magic == 0x10B) directories = optional + 96;
    else if (out.magic == 0x20B) directories = optional + 112;
    else return false;
    size_t table = optional + optionalSize;
    auto fileOffset = [&](unsigned long rva, size_t& at) {
        for (unsigned s = 0; s < sections; ++s) {
            size_t h = table + 40u * s;
            unsigned long size = std::max(r.U32(h + 8), r.U32(h + 16)), start = r.U32(h + 12);
            if (rva >= start && rva - start < size) {
                at = r.U32(h + 20) + (rva - start);
                return r.ok;
            }
        }
        return false;
    };
    auto name = [&](unsigned long rva, std::string& text) {
        size_t at = 0;
        if (!fileOffset(rva, at)) return false;
        text.clear();
        for (; at < file.size() && file[at]; ++at) text += static_cast<char>(tolower(static_cast<unsigned char>(file[at])));
        return at < file.size() && !text.empty();
    };
    // Directory 1: descriptors of 20 bytes, name at +12. Directory 13: delayed
    // descriptors of 32 bytes, name at +4. Both end with an all-zero entry.
    const struct {
        unsigned index, size, nameAt;
    } kinds[] = {{1, 20, 12}, {13, 32, 4}};
    for (const auto& k : kinds) {
        unsigned long rva = r.U32(directories + 8u * k.index);
        if (!rva) continue;
        size_t at = 0;
        if (!fileOffset(rva, at)) return false;
        for (;; at += k.size) {
            unsigned long nameRva = r.U32(at + k.nameAt);
            if (!r.ok) return false;
            if (!nameRva) break;
            std::string dll;
            if (!name(nameRva, dll)) return false;
            out.dlls.push_back(dll);
            if (k.index != 1) continue;
            // The names of the plain table: its lookup array (first field, or
            // the address array when absent) ends with a zero entry; an
            // entry with the top bit clear points at a hint and a name.
            unsigned long lookup = r.U32(at) ? r.U32(at) : r.U32(at + 16);
            unsigned width = out.magic == 0x20B ? 8 : 4;
            size_t entry = 0;
            if (!fileOffset(lookup, entry)) return false;
            for (;; entry += width) {
                unsigned long long v = r.Read(entry, width);
                if (!r.ok) return false;
                if (!v) break;
                if (v >> (8 * width - 1)) continue;   // by ordinal
                size_t hint = 0;
                if (!fileOffset(static_cast<unsigned long>(v) + 2, hint)) return false;
                std::string function;
                for (; hint < file.size() && file[hint]; ++hint) function += file[hint];
                out.functions.push_back(function);
            }
        }
    }
    return r.ok;
}

} // namespace zotest
