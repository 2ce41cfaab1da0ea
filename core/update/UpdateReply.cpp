#include "core/update/UpdateReply.h"

#include "platform/base/Utf.h"

#include <cctype>
#include <map>
#include <optional>

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    void skip_blanks()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r' ||
                                        m_text[m_at] == '\n'))
            ++m_at;
    }
    bool take(char c)
    {
        skip_blanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool at_end()
    {
        skip_blanks();
        return m_at == m_text.size();
    }
    std::optional<std::string> name()
    {
        skip_blanks();
        if (m_at < m_text.size() && m_text[m_at] == '"')
            return string();
        const std::size_t start = m_at;
        while (m_at < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[m_at])) ||
                                        m_text[m_at] == '_' || m_text[m_at] == '$'))
            ++m_at;
        if (m_at == start || std::isdigit(static_cast<unsigned char>(m_text[start])))
            return std::nullopt;
        return std::string(m_text.substr(start, m_at - start));
    }
    std::optional<std::string> string()
    {
        if (!take('"'))
            return std::nullopt;
        std::string out;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (!escape(out))
                return std::nullopt;
        }
        return std::nullopt;
    }

private:
    bool escape(std::string& out)
    {
        if (m_at >= m_text.size())
            return false;
        const char c = m_text[m_at++];
        switch (c) {
        case '"': case '\\': case '/': out += c; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': return unicode(out);
        default: return false;
        }
    }
    bool unicode(std::string& out)
    {
        if (m_text.size() - m_at < 4)
            return false;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_at++];
            value <<= 4;
            if (h >= '0' && h <= '9') value |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') value |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') value |= static_cast<unsigned>(h - 'A' + 10);
            else return false;
        }
        if (value == 0)
            return false;
        out += plat::utf16_to_utf8(std::u16string(1, static_cast<char16_t>(value)));
        return true;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

}

bool ParseUpdateReply(std::string_view text, UpdateInfo& info)
{
    Reader reader(text);
    std::map<std::string, std::string> members;
    if (!reader.take('{'))
        return false;
    if (!reader.take('}')) {
        do {
            auto name = reader.name();
            if (!name || !reader.take(':'))
                return false;
            auto value = reader.string();
            if (!value || !members.emplace(*name, *value).second)
                return false;
        } while (reader.take(','));
        if (!reader.take('}'))
            return false;
    }
    if (!reader.at_end())
        return false;
    const auto v = members.find("v"), u = members.find("u"), s = members.find("s");
    if (v == members.end() || u == members.end() || s == members.end())
        return false;
    info = {v->second, u->second, s->second};
    return true;
}
