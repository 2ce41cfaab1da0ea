#pragma once
// The objects a script creates with `new ActiveXObject(progid)`: COM classes
// by ProgID, and two stand-ins for what Windows scripts read the web with,
// an XMLHTTP request ("Microsoft.XMLHTTP") and an XML DOM ("Microsoft.XMLDOM").
// The constructor refuses to create anything unless the engine's host allowed it.

#include "platform/script/DukText.h"

#include <string_view>

struct duk_hthread;
using duk_context = duk_hthread;

namespace plat {

void install_web_objects(duk_context* ctx);

// Push a new request or document object (used by the constructor).
void push_xml_http_request(duk_context* ctx);
void push_xml_document(duk_context* ctx);
// Push a document parsed from bytes as they came over the network (XMLHTTP's
// responseXML); charset is the one the server named, "" for none.
CallOutcome push_xml_document_from(duk_context* ctx, std::string_view bytes, std::string_view charset);

}
