#include "feedparser/pellow/CScriptAgent.h"

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/ZLibEncryptHelper.h"
#include "components/common/regutil/ProgramKey.h"
#include "components/common/services/FeedHost.h"
#include "components/common/services/RegRead.h"
#include "feedparser/pellow/ParserScript.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/script/ActiveScript.h"
#include "scripthost/feldane/ScriptDebugSwitch.h"

#include <cstring>
#include <string>

namespace {

// Milliseconds a fetch may take: a tenth of a second to ten minutes, 30 s unless set.
constexpr RegNumber FeedTimeout{u"FeedTimeout", 30000, 100, 600000};

// The feed host ("FeedHost", REG_SZ) and the fetch time-out in milliseconds
// ("FeedTimeout", REG_DWORD) of the user's settings, with their defaults.
void read_feed_settings(std::string& host, DWORD& timeout)
{
    host = ReadFeedHost();
    timeout = ReadRegNumber(HKEY_CURRENT_USER, ProgramKey, FeedTimeout);
}

std::u16string decode_script()
{
    LibUtil::ZLibEncryptHelper codec;
    LibUtil::ByteBuffer stored(pellow::parser_script, pellow::parser_script_size, LibUtil::ByteBuffer::Storage::Borrow);
    LibUtil::ByteBuffer decoded;
    if (!codec.Decode(stored, decoded, 0))
        return {};
    const char* text = reinterpret_cast<const char*>(decoded.Data());
    return plat::utf8_to_utf16(std::string_view(text, strnlen(text, decoded.Length())));
}

}

CScriptAgent::CScriptAgent()
{
    if (FAILED(Setup()))
        m_engine.reset();
}

CScriptAgent::~CScriptAgent()
{
    if (m_engine)
        m_engine->Close();
}

HRESULT CScriptAgent::Setup()
{
    HRESULT hr = CoCreateInstance(CLSID_FeldaneEngine, nullptr, CLSCTX_ALL, IID_IFeldaneEngine, m_engine.put_void());
    if (FAILED(hr))
        return hr;
    plat::Bstr name(u"Pellow");
    if (FAILED(hr = m_engine->Initialize(script_debug_requested() ? VARIANT_TRUE : VARIANT_FALSE, name.get()))) {
        m_engine->Close();
        return hr;
    }
    // Our own script fetches feeds and makes feed objects: let it create objects.
    auto safety = m_engine.as<IObjectSafety>();
    if (!safety || FAILED(hr = safety->SetInterfaceSafetyOptions(IID_IActiveScript, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0))) {
        m_engine->Close();
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    const std::u16string text = decode_script();
    plat::Bstr script(text), script_name(u"RSSParser");
    if (text.empty())
        hr = E_FAIL;
    else if (SUCCEEDED(hr = m_engine->AddScriptContent(script.get(), script_name.get())) &&
             SUCCEEDED(hr = m_engine->Connect()))
        hr = tell_feed_settings();
    if (FAILED(hr)) {
        plat::debug_log("pellow: the parser script could not be loaded");
        m_engine->Close();
    }
    return hr;
}

// The script's globals FeedHost and FeedTimeout take the user's settings.
HRESULT CScriptAgent::tell_feed_settings()
{
    std::string host;
    DWORD timeout = 0;
    read_feed_settings(host, timeout);
    plat::Variant value;
    value->vt = VT_BSTR;
    value->bstrVal = plat::Bstr::from_utf8(host).detach();
    plat::Bstr host_name(u"FeedHost"), timeout_name(u"FeedTimeout");
    HRESULT hr = m_engine->PutProperty(host_name.get(), value.get());
    if (FAILED(hr))
        return hr;
    VariantClear(value.get());
    value->vt = VT_UI4;
    value->ulVal = timeout;
    return m_engine->PutProperty(timeout_name.get(), value.get());
}
