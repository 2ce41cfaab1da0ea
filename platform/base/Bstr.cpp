#include "Bstr.h"

#include "Utf.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t prefix = sizeof(std::uint32_t);

std::uint32_t* header_of(BSTR text) { return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - prefix); }

// Room for the prefix, the bytes and a two-byte terminator (BSTRs built from
// odd byte counts still end in a whole zero unit).
BSTR allocate(const void* bytes, std::uint32_t byte_length)
{
    auto* block = static_cast<char*>(std::malloc(prefix + byte_length + sizeof(WCHAR) + 1));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &byte_length, prefix);
    char* data = block + prefix;
    if (bytes) std::memcpy(data, bytes, byte_length);
    else std::memset(data, 0, byte_length);
    std::memset(data + byte_length, 0, sizeof(WCHAR) + 1);
    return reinterpret_cast<BSTR>(data);
}

constexpr UINT max_length = 0x7FFFFFFF / sizeof(WCHAR);

}

BSTR SysAllocString(const WCHAR* text)
{
    if (text == nullptr) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(plat::wide_length(text)));
}

BSTR SysAllocStringLen(const WCHAR* text, UINT length)
{
    if (length > max_length) return nullptr;
    return allocate(text, length * sizeof(WCHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT byte_length)
{
    if (byte_length > 0x7FFFFFFF) return nullptr;
    return allocate(bytes, byte_length);
}

BOOL SysReAllocStringLen(BSTR* target, const WCHAR* text, UINT length)
{
    if (target == nullptr) return FALSE;
    BSTR fresh = SysAllocStringLen(text, length);
    if (fresh == nullptr) return FALSE;
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

BOOL SysReAllocString(BSTR* target, const WCHAR* text)
{
    return SysReAllocStringLen(target, text, text ? static_cast<UINT>(plat::wide_length(text)) : 0);
}

void SysFreeString(BSTR text)
{
    if (text) std::free(header_of(text));
}

UINT SysStringLen(BSTR text) { return text ? *header_of(text) / sizeof(WCHAR) : 0; }

UINT SysStringByteLen(BSTR text) { return text ? *header_of(text) : 0; }

namespace plat {

Bstr::Bstr(std::u16string_view text) : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr Bstr::from_utf8(std::string_view text) { return Bstr(utf8_to_utf16(text)); }

Bstr Bstr::adopt(BSTR text)
{
    Bstr b;
    b.m_text = text;
    return b;
}

Bstr::Bstr(const Bstr& other)
    : m_text(other.m_text ? SysAllocStringByteLen(reinterpret_cast<const char*>(other.m_text),
                                                  SysStringByteLen(other.m_text))
                          : nullptr)
{
}

Bstr& Bstr::operator=(const Bstr& other)
{
    if (this != &other) *this = Bstr(other);
    return *this;
}

Bstr& Bstr::operator=(Bstr&& other) noexcept
{
    if (this != &other) {
        SysFreeString(m_text);
        m_text = other.detach();
    }
    return *this;
}

BSTR* Bstr::out()
{
    SysFreeString(m_text);
    m_text = nullptr;
    return &m_text;
}

BSTR Bstr::detach()
{
    BSTR text = m_text;
    m_text = nullptr;
    return text;
}

std::string Bstr::utf8() const { return utf16_to_utf8(view()); }

std::string bstr_to_utf8(BSTR text) { return utf16_to_utf8({text ? text : u"", SysStringLen(text)}); }

}
