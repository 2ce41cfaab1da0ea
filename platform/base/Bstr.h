#pragma once
// BSTR with Windows semantics: a 32-bit byte length stands just before the
// text, which ends in a zero unit; the pointer handed out is the text's.

#include "Types.h"

#include <string>
#include <string_view>

using BSTR = WCHAR*;

BSTR SysAllocString(const WCHAR* text);
BSTR SysAllocStringLen(const WCHAR* text, UINT length);
BSTR SysAllocStringByteLen(const char* bytes, UINT byte_length);
BOOL SysReAllocString(BSTR* target, const WCHAR* text);
BOOL SysReAllocStringLen(BSTR* target, const WCHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

namespace plat {

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text);
    static Bstr from_utf8(std::string_view text);
    // Takes ownership of a BSTR handed out by a callee.
    static Bstr adopt(BSTR text);
    Bstr(const Bstr& other);
    Bstr& operator=(const Bstr& other);
    Bstr(Bstr&& other) noexcept : m_text(other.detach()) {}
    Bstr& operator=(Bstr&& other) noexcept;
    ~Bstr() { SysFreeString(m_text); }

    BSTR get() const { return m_text; }
    // For out-parameters: frees what is held and hands out the slot.
    BSTR* out();
    BSTR detach();
    UINT length() const { return SysStringLen(m_text); }
    std::u16string_view view() const { return {m_text ? m_text : u"", length()}; }
    std::string utf8() const;

private:
    BSTR m_text{nullptr};
};

// A null BSTR reads as the empty text, as Windows callers treat it.
std::string bstr_to_utf8(BSTR text);

}
