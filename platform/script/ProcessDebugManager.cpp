#include "platform/script/ProcessDebugManager.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"

#include <new>
#include <string>
#include <vector>

namespace plat {

namespace {

class DebugApplicationNode final : public ComObject<IDebugApplicationNode> {};
class DebugDocumentContext final : public ComObject<IDebugDocumentContext> {};

class DebugApplication final : public ComObject<IDebugApplication> {
public:
    HRESULT SetName(LPCOLESTR name) noexcept override
    try {
        m_name = name ? utf16_to_utf8({name, wide_length(name)}) : "";
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT StartDebugSession() noexcept override
    {
        debug_log("script debug: session started for " + m_name);
        return S_OK;
    }

private:
    std::string m_name;
};

class DebugDocumentHelper final : public ComObject<IDebugDocumentHelper> {
public:
    HRESULT Init(IDebugApplication* application, LPCOLESTR, LPCOLESTR, DWORD) noexcept override
    {
        if (!application)
            return E_INVALIDARG;
        m_application = ComPtr<IDebugApplication>(application);
        return S_OK;
    }
    HRESULT Attach(IDebugDocumentHelper*) noexcept override { return m_application ? S_OK : E_UNEXPECTED; }
    HRESULT Detach() noexcept override { return S_OK; }
    HRESULT AddUnicodeText(LPCOLESTR text) noexcept override
    try {
        if (text)
            m_text.append(text, wide_length(text));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT DefineScriptBlock(ULONG offset, ULONG characters, IActiveScript*, BOOL,
                              DWORD_PTR* source_context) noexcept override
    try {
        if (!source_context)
            return E_POINTER;
        if (static_cast<std::size_t>(offset) + characters > m_text.size())
            return E_INVALIDARG;
        m_blocks.push_back({offset, characters});
        *source_context = m_blocks.size();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT CreateDebugDocumentContext(ULONG position, ULONG characters,
                                       IDebugDocumentContext** context) noexcept override
    {
        if (!context)
            return E_POINTER;
        *context = nullptr;
        if (static_cast<std::size_t>(position) + characters > m_text.size())
            return E_INVALIDARG;
        *context = new (std::nothrow) DebugDocumentContext();
        return *context ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetDebugApplicationNode(IDebugApplicationNode** node) noexcept override
    {
        if (!node)
            return E_POINTER;
        *node = new (std::nothrow) DebugApplicationNode();
        return *node ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetScriptBlockInfo(DWORD_PTR source_context, IActiveScript** engine, ULONG* position,
                               ULONG* characters) noexcept override
    {
        if (source_context == 0 || source_context > m_blocks.size())
            return E_INVALIDARG;
        const Block& b = m_blocks[source_context - 1];
        if (engine)
            *engine = nullptr;   // not kept: the engine holds its site, which holds this document
        if (position)
            *position = b.offset;
        if (characters)
            *characters = b.characters;
        return S_OK;
    }

private:
    struct Block {
        ULONG offset;
        ULONG characters;
    };
    ComPtr<IDebugApplication> m_application;
    std::u16string m_text;
    std::vector<Block> m_blocks;
};

}

HRESULT ProcessDebugManager::CreateApplication(IDebugApplication** application) noexcept
{
    if (!application)
        return E_POINTER;
    *application = new (std::nothrow) DebugApplication();
    return *application ? S_OK : E_OUTOFMEMORY;
}

HRESULT ProcessDebugManager::AddApplication(IDebugApplication* application, DWORD* cookie) noexcept
{
    if (!application || !cookie)
        return E_POINTER;
    *cookie = m_next_cookie++;
    return S_OK;
}

HRESULT ProcessDebugManager::CreateDebugDocumentHelper(IUnknown* outer, IDebugDocumentHelper** helper) noexcept
{
    if (!helper)
        return E_POINTER;
    *helper = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    *helper = new (std::nothrow) DebugDocumentHelper();
    return *helper ? S_OK : E_OUTOFMEMORY;
}

}
