#pragma once
// The in-memory form of one registry hive and its text file format. Used by
// RegistryStore only; callers use RegistryStore or the Win32 functions.
//
// File format (UTF-8, one item a line, ';' starts a comment line):
//   [Software\Corvalen\Strimo]          a key, by its path from the hive root ("[]" is the root)
//   "AutoRun"=dword:00000001            REG_DWORD of 4 bytes
//   "BGPath"=sz:"/home/u/bg.png"        REG_SZ whose data ends with its one terminating zero
//   @=sz:"default value"                the key's unnamed value
//   "Blob"=hex:00,ff,10                 REG_BINARY
//   "Odd"=hex(1):41,00,42               any other type or shape, byte for byte
// Quoted texts escape \\ \" \n \r \t, and \uXXXX for other control units and lone surrogates,
// so every value reads back with exactly the bytes it was written with.

#include "platform/base/Types.h"

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;

    bool operator==(const RegistryValue&) const = default;
};

struct NamedRegistryValue {
    std::u16string name;
    RegistryValue value;
};

struct HiveKey {
    std::u16string path;                      // spelling of the creator, '\' between names
    std::vector<NamedRegistryValue> values;   // in the order they were first written

    const NamedRegistryValue* find_value(std::u16string_view name) const;
    NamedRegistryValue* find_value(std::u16string_view name);
};

class HiveFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Key names compare as Windows compares them: without case.
std::u16string fold_case(std::u16string_view text);

// Checks a key path and returns it without a trailing '\'; empty names, a leading '\',
// names past 255 units, control characters and lone surrogates give nullopt.
std::optional<std::u16string> normalise_key_path(std::u16string_view path);

class HiveTree {
public:
    HiveTree();

    static HiveTree parse(std::string_view text);   // throws HiveFormatError naming the line
    std::string format(std::string_view hive_name) const;

    // Paths passed here are normalised (normalise_key_path).
    const HiveKey* find(std::u16string_view path) const;
    HiveKey* find(std::u16string_view path);
    bool create(std::u16string_view path);   // with its missing parents; false when it existed
    bool has_subkeys(std::u16string_view path) const;
    void erase(std::u16string_view path);
    std::vector<std::u16string> subkey_names(std::u16string_view path) const;

    static void set_value(HiveKey& key, std::u16string_view name, RegistryValue value);
    static bool erase_value(HiveKey& key, std::u16string_view name);

private:
    std::map<std::u16string, HiveKey> m_keys;   // by folded path; the root "" always present
};

}
