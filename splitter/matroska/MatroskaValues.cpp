#include "splitter/matroska/MatroskaValues.h"

#include "platform/base/Utf.h"
#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"

#include <bit>
#include <cstring>

namespace MatroskaReader {

namespace {

// Positions the file at the last bytes of the payload a 64-bit value can hold.
bool seek_to_value(CElementNode* node, int& bytes)
{
    if (!node->PayloadFits()) return false;
    const ULONGLONG size = *node->m_len;
    bytes = static_cast<int>(std::min<ULONGLONG>(size, 8));
    node->m_pFile->Seek(node->m_datapos + static_cast<LONGLONG>(size) - bytes);
    return true;
}

HRESULT read_payload(CElementNode* node, std::vector<BYTE>& out)
{
    if (!node) return E_POINTER;
    if (!node->PayloadFits()) return E_FAIL;
    out.resize(static_cast<std::size_t>(*node->m_len));
    node->SeekTo();
    return out.empty() || node->m_pFile->ByteRead(out.data(), static_cast<LONGLONG>(out.size())) == S_OK ? S_OK
                                                                                                        : E_FAIL;
}

// Text ends at its first zero byte: writers may pad strings with zeros.
std::string_view text_of(const std::vector<BYTE>& bytes)
{
    if (bytes.empty()) return {};
    const char* p = reinterpret_cast<const char*>(bytes.data());
    return std::string_view(p, strnlen(p, bytes.size()));
}

}

HRESULT CUInt::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    int bytes = 0;
    ULONGLONG value = 0;
    if (!seek_to_value(node, bytes) || FAILED(node->m_pFile->ReadBE(value, bytes))) return E_FAIL;
    Set(value);
    return S_OK;
}

HRESULT CInt::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    int bytes = 0;
    ULONGLONG value = 0;
    if (!seek_to_value(node, bytes) || FAILED(node->m_pFile->ReadBE(value, bytes))) return E_FAIL;
    // The top byte read lands in the top of the value; the arithmetic shift spreads its sign.
    const int unused = (8 - bytes) * 8;
    Set(bytes == 0 ? 0 : static_cast<LONGLONG>(value << unused) >> unused);
    return S_OK;
}

HRESULT CFloat::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    ULONGLONG value = 0;
    m_fSet = false;
    m_val = 0;
    const ULONGLONG size = *node->m_len;
    if ((size != 4 && size != 8) || !node->PayloadFits()) return E_FAIL;
    node->SeekTo();
    if (FAILED(node->m_pFile->ReadBE(value, static_cast<int>(size)))) return E_FAIL;
    Set(size == 4 ? static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(value)))
                  : std::bit_cast<double>(value));
    return S_OK;
}

HRESULT CByte::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    ULONGLONG value = 0;
    if (*node->m_len < 1 || !node->PayloadFits()) return E_FAIL;
    node->SeekTo();
    if (FAILED(node->m_pFile->ReadBE(value, 1))) return E_FAIL;
    Set(static_cast<BYTE>(value));
    return S_OK;
}

HRESULT CShort::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    ULONGLONG value = 0;
    if (*node->m_len < 2 || !node->PayloadFits()) return E_FAIL;
    node->SeekTo();
    if (FAILED(node->m_pFile->ReadBE(value, 2))) return E_FAIL;
    Set(static_cast<short>(value));
    return S_OK;
}

HRESULT CID::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    if (!node->PayloadFits()) return E_FAIL;
    node->SeekTo();
    return Parse(node->m_pFile);
}

HRESULT CID::Parse(CMatroskaFile* file)
{
    m_fSet = false;
    ULONGLONG b = 0;
    if (FAILED(file->ReadBE(b, 1))) return E_FAIL;
    int more;
    DWORD id;
    if (b & 0x80) more = 0, id = static_cast<DWORD>(b);
    else if (b >= 0x40) more = 1, id = static_cast<DWORD>(b & 0x7F);
    else if ((b & 0xE0) == 0x20) more = 2, id = static_cast<DWORD>(b & 0x3F);
    else if ((b & 0xF0) == 0x10) more = 3, id = static_cast<DWORD>(b & 0x1F);
    else return E_FAIL;
    // The masks keep the marker bit, so ids read as they are usually written.
    for (int i = 0; i < more; ++i) {
        if (FAILED(file->ReadBE(b, 1))) return E_FAIL;
        id = id << 8 | static_cast<DWORD>(b);
    }
    Set(id);
    return S_OK;
}

HRESULT CLength::Parse(CElementNode* node)
{
    if (!node) return E_POINTER;
    if (!node->PayloadFits()) return E_FAIL;
    node->SeekTo();
    return Parse(node->m_pFile);
}

HRESULT CLength::Parse(CMatroskaFile* file)
{
    m_fSet = false;
    ULONGLONG b = 0;
    if (FAILED(file->ReadBE(b, 1)) || b == 0) return E_FAIL;
    const int more = std::countl_zero(static_cast<BYTE>(b));
    ULONGLONG value = b & (0x7FULL >> more);
    ULONGLONG rest = 0;
    if (more > 0 && FAILED(file->ReadBE(rest, more))) return E_FAIL;
    value = value << (8 * more) | rest;
    m_bytes = more + 1;
    const ULONGLONG all_set = (1ULL << (7 * m_bytes)) - 1;
    if (value == all_set && !m_fSigned) {
        const LONGLONG left = file->Extent() - file->GetPos();
        value = static_cast<ULONGLONG>(std::max<LONGLONG>(left, 0));
    } else if (m_fSigned) {
        value -= (1ULL << (7 * m_bytes - 1)) - 1;
    }
    Set(value);
    return S_OK;
}

HRESULT CANSI::Parse(CElementNode* node)
{
    std::vector<BYTE> bytes;
    HRESULT hr = read_payload(node, bytes);
    if (FAILED(hr)) return hr;
    Set(std::string(text_of(bytes)));
    return S_OK;
}

HRESULT CUTF8::Parse(CElementNode* node)
{
    std::vector<BYTE> bytes;
    HRESULT hr = read_payload(node, bytes);
    if (FAILED(hr)) return hr;
    Set(plat::utf8_to_utf16(text_of(bytes)));
    return S_OK;
}

HRESULT CBinary::Parse(CElementNode* node)
{
    HRESULT hr = read_payload(node, m_val);
    m_fSet = SUCCEEDED(hr);
    if (!m_fSet) m_val.clear();
    return hr;
}

}
