#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/script/DukText.h"
#include "platform/script/ScriptObjects.h"
#include "platform/script/ScriptRuntime.h"
#include "platform/script/WebObjects.h"

#include <duktape.h>

namespace plat {

namespace {

// JScript's "Automation server can't create object".
constexpr HRESULT cannot_create = hresult(0x800A01AD);

CallOutcome create_body(duk_context* ctx)
{
    if (!ScriptRuntime::of(ctx).object_creation_allowed())
        return CallOutcome::fail(cannot_create, "Automation server can't create object");
    const std::u16string prog_id = get_utf16(ctx, 0);
    if (prog_id == u"Microsoft.XMLHTTP") {
        push_xml_http_request(ctx);
        return {1};
    }
    if (prog_id == u"Microsoft.XMLDOM") {
        push_xml_document(ctx);
        return {1};
    }
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(prog_id.c_str(), &clsid)))
        return CallOutcome::fail(cannot_create, "Automation server can't create object: " + utf16_to_utf8(prog_id));
    ComPtr<IDispatch> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.put_void());
    if (FAILED(hr))
        return CallOutcome::fail(hr, "Automation server can't create object: " + utf16_to_utf8(prog_id));
    push_dispatch_proxy(ctx, object.get());
    return {1};
}

duk_ret_t create(duk_context* ctx) { return finish_call(ctx, create_body(ctx)); }

}

void install_web_objects(duk_context* ctx)
{
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, create, 1);
    duk_put_prop_string(ctx, -2, "ActiveXObject");
    duk_pop(ctx);
}

}
