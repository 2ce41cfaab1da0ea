#include "HiveTree.h"

#include "platform/base/Utf.h"

#include <algorithm>
#include <locale.h>
#include <wctype.h>

namespace plat {

namespace {

constexpr std::size_t max_key_name = 255;
constexpr DWORD reg_sz = 1;
constexpr DWORD reg_binary = 3;
constexpr DWORD reg_dword = 4;

bool is_high_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// True when text[i] is a surrogate without its partner.
bool lone_surrogate_at(std::u16string_view text, std::size_t i)
{
    if (is_high_surrogate(text[i])) return i + 1 >= text.size() || !is_low_surrogate(text[i + 1]);
    if (is_low_surrogate(text[i])) return i == 0 || !is_high_surrogate(text[i - 1]);
    return false;
}

locale_t case_locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

constexpr char hex_digits[] = "0123456789abcdef";

void append_hex_byte(std::string& out, BYTE b)
{
    out += hex_digits[b >> 4];
    out += hex_digits[b & 15];
}

std::string quote(std::u16string_view text)
{
    std::string out = "\"";
    std::size_t run = 0;   // start of the units not yet written
    auto flush = [&](std::size_t end) { out += utf16_to_utf8(text.substr(run, end - run)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        const char* escape = nullptr;
        switch (u) {
        case u'\\': escape = "\\\\"; break;
        case u'"': escape = "\\\""; break;
        case u'\n': escape = "\\n"; break;
        case u'\r': escape = "\\r"; break;
        case u'\t': escape = "\\t"; break;
        default: break;
        }
        if (!escape && u >= 0x20 && !lone_surrogate_at(text, i)) continue;
        flush(i);
        run = i + 1;
        if (escape) {
            out += escape;
        } else {
            out += "\\u";
            append_hex_byte(out, static_cast<BYTE>(u >> 8));
            append_hex_byte(out, static_cast<BYTE>(u & 0xFF));
        }
    }
    flush(text.size());
    return out + '"';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text at the start of rest and moves rest past it.
std::u16string unquote(std::string_view& rest)
{
    if (rest.empty() || rest[0] != '"') throw HiveFormatError("a quoted text was expected");
    std::u16string out;
    std::size_t run = 1;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        char c = rest[i];
        if (c != '\\' && c != '"') continue;
        out += utf8_to_utf16(rest.substr(run, i - run));
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return out;
        }
        if (++i >= rest.size()) break;
        switch (rest[i]) {
        case '\\': out += u'\\'; break;
        case '"': out += u'"'; break;
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        case 't': out += u'\t'; break;
        case 'u': {
            unsigned unit = 0;
            for (int k = 1; k <= 4; ++k) {
                int v = i + k < rest.size() ? hex_value(rest[i + k]) : -1;
                if (v < 0) throw HiveFormatError("bad \\u escape");
                unit = unit << 4 | static_cast<unsigned>(v);
            }
            out += static_cast<char16_t>(unit);
            i += 4;
            break;
        }
        default: throw HiveFormatError("unknown escape");
        }
        run = i + 1;
    }
    throw HiveFormatError("unterminated quoted text");
}

std::vector<BYTE> parse_hex_bytes(std::string_view text)
{
    std::vector<BYTE> out;
    while (!text.empty()) {
        if (text.size() < 2 || hex_value(text[0]) < 0 || hex_value(text[1]) < 0)
            throw HiveFormatError("bad hex byte");
        out.push_back(static_cast<BYTE>(hex_value(text[0]) << 4 | hex_value(text[1])));
        text.remove_prefix(2);
        if (text.empty()) break;
        if (text[0] != ',' || text.size() == 1) throw HiveFormatError("hex bytes are separated by ','");
        text.remove_prefix(1);
    }
    return out;
}

DWORD parse_hex_number(std::string_view text, std::size_t max_digits)
{
    if (text.empty() || text.size() > max_digits) throw HiveFormatError("bad hex number");
    DWORD value = 0;
    for (char c : text) {
        int v = hex_value(c);
        if (v < 0) throw HiveFormatError("bad hex number");
        value = value << 4 | static_cast<DWORD>(v);
    }
    return value;
}

bool is_plain_string(const RegistryValue& v)
{
    return v.type == reg_sz && v.data.size() >= 2 && v.data.size() % 2 == 0 && v.data[v.data.size() - 2] == 0 &&
           v.data.back() == 0;
}

std::u16string units_of(const std::vector<BYTE>& data, std::size_t count)
{
    std::u16string out(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return out;
}

std::string format_data(const RegistryValue& v)
{
    if (v.type == reg_dword && v.data.size() == 4) {
        std::string out = "dword:";
        for (int i = 3; i >= 0; --i) append_hex_byte(out, v.data[static_cast<std::size_t>(i)]);
        return out;
    }
    if (is_plain_string(v)) return "sz:" + quote(units_of(v.data, v.data.size() / 2 - 1));
    std::string out = "hex";
    if (v.type != reg_binary) {
        out += '(';
        for (int shift = 28; shift >= 0; shift -= 4)
            if ((v.type >> shift) != 0 || shift == 0) out += hex_digits[v.type >> shift & 15];
        out += ')';
    }
    out += ':';
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        if (i) out += ',';
        append_hex_byte(out, v.data[i]);
    }
    return out;
}

RegistryValue parse_data(std::string_view text)
{
    RegistryValue v;
    if (text.starts_with("dword:")) {
        DWORD n = parse_hex_number(text.substr(6), 8);
        v.type = reg_dword;
        for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<BYTE>(n >> (8 * i)));
    } else if (text.starts_with("sz:")) {
        text.remove_prefix(3);
        std::u16string units = unquote(text);
        if (!text.empty()) throw HiveFormatError("text after a string value");
        v.type = reg_sz;
        for (char16_t u : units) {
            v.data.push_back(static_cast<BYTE>(u & 0xFF));
            v.data.push_back(static_cast<BYTE>(u >> 8));
        }
        v.data.insert(v.data.end(), {0, 0});
    } else if (text.starts_with("hex:")) {
        v.type = reg_binary;
        v.data = parse_hex_bytes(text.substr(4));
    } else if (text.starts_with("hex(")) {
        std::size_t close = text.find("):");
        if (close == std::string_view::npos) throw HiveFormatError("bad hex(type) value");
        v.type = parse_hex_number(text.substr(4, close - 4), 8);
        v.data = parse_hex_bytes(text.substr(close + 2));
    } else {
        throw HiveFormatError("unknown value type");
    }
    return v;
}

template <class Values>
auto find_named(Values& values, std::u16string_view name) -> decltype(&values[0])
{
    const std::u16string folded = fold_case(name);
    for (auto& v : values)
        if (fold_case(v.name) == folded) return &v;
    return nullptr;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}

const NamedRegistryValue* HiveKey::find_value(std::u16string_view name) const { return find_named(values, name); }

NamedRegistryValue* HiveKey::find_value(std::u16string_view name) { return find_named(values, name); }

std::u16string fold_case(std::u16string_view text)
{
    std::u16string out(text);
    locale_t locale = case_locale();
    for (char16_t& u : out) {
        if (u < 0x80) {
            if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 32);
        } else if (locale && (u < 0xD800 || u > 0xDFFF)) {
            auto upper = towupper_l(static_cast<wint_t>(u), locale);
            if (upper <= 0xFFFF) u = static_cast<char16_t>(upper);
        }
    }
    return out;
}

std::optional<std::u16string> normalise_key_path(std::u16string_view path)
{
    if (path.ends_with(u'\\')) path.remove_suffix(1);
    std::size_t name_start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == u'\\') {
            std::size_t length = i - name_start;
            if (!path.empty() && (length == 0 || length > max_key_name)) return std::nullopt;
            name_start = i + 1;
        } else if (path[i] < 0x20 || lone_surrogate_at(path, i)) {
            return std::nullopt;
        }
    }
    return std::u16string(path);
}

HiveTree::HiveTree() { m_keys.emplace(u"", HiveKey{}); }

HiveTree HiveTree::parse(std::string_view text)
{
    HiveTree tree;
    HiveKey* current = nullptr;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        try {
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                if (line.back() != ']') throw HiveFormatError("a key line ends with ']'");
                auto path = normalise_key_path(utf8_to_utf16(line.substr(1, line.size() - 2)));
                if (!path) throw HiveFormatError("bad key path");
                tree.create(*path);
                current = tree.find(*path);
                continue;
            }
            if (!current) throw HiveFormatError("a value before the first key");
            std::u16string name;
            if (line[0] == '@') line.remove_prefix(1);
            else name = unquote(line);
            if (line.empty() || line[0] != '=') throw HiveFormatError("'=' expected after the value name");
            set_value(*current, name, parse_data(line.substr(1)));
        } catch (const HiveFormatError& e) {
            throw HiveFormatError("line " + std::to_string(line_number) + ": " + e.what());
        }
    }
    return tree;
}

std::string HiveTree::format(std::string_view hive_name) const
{
    std::string out = "; Strimo registry hive ";
    out.append(hive_name);
    out += ". Rewritten whole on every change; edit only while no Strimo program runs.\n";
    for (const auto& [folded, key] : m_keys) {
        out += "\n[" + utf16_to_utf8(key.path) + "]\n";
        for (const auto& v : key.values)
            out += (v.name.empty() ? std::string("@") : quote(v.name)) + '=' + format_data(v.value) + '\n';
    }
    return out;
}

const HiveKey* HiveTree::find(std::u16string_view path) const
{
    auto it = m_keys.find(fold_case(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

HiveKey* HiveTree::find(std::u16string_view path)
{
    auto it = m_keys.find(fold_case(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

bool HiveTree::create(std::u16string_view path)
{
    bool created = false;
    for (std::size_t end = 0; end != std::u16string_view::npos;) {
        end = path.find(u'\\', end + 1);
        std::u16string_view prefix = path.substr(0, end);
        created = m_keys.try_emplace(fold_case(prefix), HiveKey{std::u16string(prefix), {}}).second;
    }
    return created;
}

bool HiveTree::has_subkeys(std::u16string_view path) const
{
    if (path.empty()) return m_keys.size() > 1;
    const std::u16string prefix = fold_case(path) + u'\\';
    auto it = m_keys.lower_bound(prefix);
    return it != m_keys.end() && it->first.starts_with(prefix);
}

void HiveTree::erase(std::u16string_view path) { m_keys.erase(fold_case(path)); }

std::vector<std::u16string> HiveTree::subkey_names(std::u16string_view path) const
{
    std::vector<std::u16string> names;
    const std::u16string prefix = path.empty() ? std::u16string() : fold_case(path) + u'\\';
    for (auto it = m_keys.lower_bound(prefix); it != m_keys.end() && it->first.starts_with(prefix); ++it) {
        if (it->first.size() == prefix.size()) continue;   // the root itself
        if (it->first.find(u'\\', prefix.size()) != std::u16string::npos) continue;
        names.push_back(it->second.path.substr(prefix.size()));
    }
    return names;
}

void HiveTree::set_value(HiveKey& key, std::u16string_view name, RegistryValue value)
{
    if (auto* existing = key.find_value(name)) {
        existing->value = std::move(value);
        return;
    }
    key.values.push_back({std::u16string(name), std::move(value)});
}

bool HiveTree::erase_value(HiveKey& key, std::u16string_view name)
{
    const std::u16string folded = fold_case(name);
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [&](const NamedRegistryValue& v) { return fold_case(v.name) == folded; });
    if (it == key.values.end()) return false;
    key.values.erase(it);
    return true;
}

}
