#include "feedparser/pellow/CRSSParser.h"

#include <new>

namespace {

VARIANT text_argument(BSTR text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text, SysStringLen(text));
    if (!v.bstrVal)
        throw std::bad_alloc();
    return v;
}

VARIANT count_argument(ULONG count)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = count;
    return v;
}

}

std::span<const plat::DispatchEntry<CRSSParser>> CRSSParser::dispatch_table()
{
    static const plat::DispatchEntry<CRSSParser> table[] = {
        plat::dispatch_method<&CRSSParser::ParseRSS>(u"ParseRSS", 1),
        plat::dispatch_method<&CRSSParser::RSSSearch>(u"RSSSearch", 2),
        plat::dispatch_method<&CRSSParser::TransformURL>(u"TransformURL", 3),
        plat::dispatch_method<&CRSSParser::GetRelatedVideo>(u"GetRelatedVideo", 4),
    };
    return table;
}

HRESULT CRSSParser::invoke(const char16_t* function, VARIANT* args, LONG count, VARIANT* result)
{
    plat::Bstr name(function);
    HRESULT hr = engine()->InvokeParamMethod(name.get(), args, count, result);
    for (LONG i = 0; i < count; ++i)
        VariantClear(&args[i]);
    return hr;
}

HRESULT CRSSParser::channel_call(const char16_t* function, VARIANT* args, LONG count, IRSSChannel** channel)
{
    plat::Variant result;
    HRESULT hr = invoke(function, args, count, result.get());
    if (FAILED(hr))
        return hr;
    if (result->vt != VT_DISPATCH || !result->pdispVal)
        return E_FAIL;
    return result->pdispVal->QueryInterface(IID_IRSSChannel, reinterpret_cast<void**>(channel));
}

HRESULT CRSSParser::ParseRSS(BSTR bstrURL, ULONG nCount, IRSSChannel** RSSChannel) noexcept
try {
    if (!engine() || !RSSChannel)
        return E_FAIL;
    *RSSChannel = nullptr;
    VARIANT args[] = {count_argument(nCount), text_argument(bstrURL)};
    return channel_call(u"RSSParse", args, 2, RSSChannel);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSParser::RSSSearch(BSTR bstrKeyword, BSTR bstrSiteName, ULONG nCount, IRSSChannel** RSSChannel) noexcept
try {
    if (!engine() || !RSSChannel)
        return E_FAIL;
    *RSSChannel = nullptr;
    VARIANT args[3] = {count_argument(nCount)};
    args[1] = text_argument(bstrSiteName);
    try {
        args[2] = text_argument(bstrKeyword);
    } catch (const std::bad_alloc&) {
        VariantClear(&args[1]);
        throw;
    }
    return channel_call(u"RSSSearch", args, 3, RSSChannel);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSParser::TransformURL(BSTR bstrURL, VARIANT_BOOL selectHD, BSTR* resultURL) noexcept
try {
    if (!engine() || !resultURL)
        return E_FAIL;
    *resultURL = nullptr;
    VARIANT args[2];
    VariantInit(&args[0]);
    args[0].vt = VT_I2;
    args[0].iVal = selectHD;
    args[1] = text_argument(bstrURL);
    plat::Variant result;
    HRESULT hr = invoke(u"TransformURL", args, 2, result.get());
    if (FAILED(hr))
        return hr;
    if (result->vt != VT_BSTR)
        return E_FAIL;
    *resultURL = SysAllocStringLen(result->bstrVal, SysStringLen(result->bstrVal));
    return *resultURL ? S_OK : E_OUTOFMEMORY;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSParser::GetRelatedVideo(BSTR bstrURL, IRSSChannel** RSSChannel) noexcept
try {
    if (!engine() || !RSSChannel)
        return E_FAIL;
    *RSSChannel = nullptr;
    VARIANT args[] = {text_argument(bstrURL)};
    return channel_call(u"GetRelatedVideo", args, 1, RSSChannel);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
