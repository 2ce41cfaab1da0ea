#pragma once
// The feed parser: each method hands its arguments to the function of the
// same purpose in the parser script and returns what the script built.

#include "feedparser/pellow/CScriptAgent.h"
#include "feedparser/pellow/PellowLib.h"
#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"

class CRSSParser final : public plat::ComObject<plat::DispatchImpl<IRSSParser, CRSSParser>>, public CScriptAgent {
public:
    static std::span<const plat::DispatchEntry<CRSSParser>> dispatch_table();

    // "RSSParse"(URL, count): the script's channel.
    HRESULT ParseRSS(BSTR bstrURL, ULONG nCount, IRSSChannel** RSSChannel) noexcept override;
    // "RSSSearch"(keyword, site name, count): the keyword arrives URL-encoded.
    HRESULT RSSSearch(BSTR bstrKeyword, BSTR bstrSiteName, ULONG nCount, IRSSChannel** RSSChannel) noexcept override;
    // "TransformURL"(URL, selectHD): the script's address.
    HRESULT TransformURL(BSTR bstrURL, VARIANT_BOOL selectHD, BSTR* resultURL) noexcept override;
    // "GetRelatedVideo"(URL): the script's channel.
    HRESULT GetRelatedVideo(BSTR bstrURL, IRSSChannel** RSSChannel) noexcept override;

private:
    // Calls the script function with the arguments (last first) and takes its result;
    // the arguments are cleared whatever happens.
    HRESULT invoke(const char16_t* function, VARIANT* args, LONG count, VARIANT* result);
    HRESULT channel_call(const char16_t* function, VARIANT* args, LONG count, IRSSChannel** channel);
};
