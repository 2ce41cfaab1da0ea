#include "TestSite.h"

#include "platform/automation/testing/AutomationTesting.h"
#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

plat::ComPtr<IDispatch> globals_of(EngineHarness& h)
{
    plat::ComPtr<IDispatch> globals;
    EXPECT_EQ(h.engine->GetScriptDispatch(nullptr, globals.put()), S_OK);
    return globals;
}

DISPID id_of(IDispatch* d, const char16_t* name, HRESULT expect = S_OK)
{
    HRESULT hr = E_FAIL;
    const DISPID id = plat::dispid_of(d, name, &hr);
    EXPECT_EQ(hr, expect);
    return id;
}

}

TEST(JScriptEngine, GlobalsAreCalledWithArgumentsLastFirst)
{
    EngineHarness h;
    ASSERT_EQ(h.run("var n = 5;\nfunction f(a, b) { return a + '|' + b; }"), S_OK);
    plat::ComPtr<IDispatch> globals;
    ASSERT_EQ(h.engine->GetScriptDispatch(nullptr, globals.put()), S_OK);

    VARIANT args[2] = {plat::bstr_variant("first in the array"), plat::bstr_variant("last in the array")};
    DISPPARAMS params{args, nullptr, 2, 0};
    plat::Variant result;
    ASSERT_EQ(globals->Invoke(id_of(globals.get(), u"f"), GUID_NULL, 1024, DISPATCH_METHOD, &params, result.get(),
                              nullptr, nullptr),
              S_OK);
    EXPECT_EQ(plat::bstr_to_utf8(result->bstrVal), "last in the array|first in the array");
    VariantClear(&args[0]);
    VariantClear(&args[1]);

    VARIANT seven;
    VariantInit(&seven);
    seven.vt = VT_I4;
    seven.lVal = 7;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS assign{&seven, &put, 1, 1};
    ASSERT_EQ(globals->Invoke(id_of(globals.get(), u"n"), GUID_NULL, 1024, DISPATCH_PROPERTYPUT, &assign, nullptr,
                              nullptr, nullptr),
              S_OK);
    EXPECT_EQ(h.global(u"n"), "7");
    id_of(globals.get(), u"nothing", DISP_E_UNKNOWNNAME);
}

TEST(JScriptEngine, UncaughtErrorsReachTheSiteWithTheirPlace)
{
    const struct {
        const char* script;
        const char* source;
        const char* description;   // a part of it
        ULONG line;
        const char* line_text;
    } cases[] = {
        {"var a = 1;\nthrow new Error('boom');", "JScript runtime error", "boom", 1, "throw new Error('boom');"},
        {"var a = 1;\n\nmissing_name + 1;", "JScript runtime error", "missing_name", 2, "missing_name + 1;"},
        {"var a = ;", "JScript compilation error", "", 0, "var a = ;"},
        {"throw 'plain text';", "JScript runtime error", "plain text", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        EngineHarness h;
        EXPECT_EQ(h.run(c.script), SCRIPT_E_REPORTED);
        ASSERT_EQ(h.site->errors.size(), 1u);
        const ReportedError& e = h.site->errors[0];
        EXPECT_EQ(e.source, c.source);
        EXPECT_NE(e.description.find(c.description), std::string::npos) << e.description;
        EXPECT_TRUE(FAILED(e.scode));
        if (*c.line_text) {
            EXPECT_TRUE(e.has_position);
            EXPECT_EQ(e.line, c.line);
            EXPECT_EQ(e.line_text, c.line_text);
        }
    }
}

TEST(JScriptEngine, ErrorsInACallFromTheHostAreReportedAndReturned)
{
    EngineHarness h;
    ASSERT_EQ(h.run("function f() { return undefined_thing.x; }"), S_OK);
    plat::ComPtr<IDispatch> globals;
    ASSERT_EQ(h.engine->GetScriptDispatch(nullptr, globals.put()), S_OK);
    plat::Variant result;
    DISPPARAMS none{};
    EXPECT_EQ(globals->Invoke(id_of(globals.get(), u"f"), GUID_NULL, 1024, DISPATCH_METHOD, &none, result.get(),
                              nullptr, nullptr),
              SCRIPT_E_REPORTED);
    ASSERT_EQ(h.site->errors.size(), 1u);
    EXPECT_EQ(h.site->errors[0].line_text, "function f() { return undefined_thing.x; }");
}

TEST(JScriptEngine, NamedItemsAreAskedForOnFirstUseAndCalledThroughDispatch)
{
    EngineHarness h;
    auto helper = plat::ComPtr<TestHelper>::adopt(new TestHelper());
    h.site->items[u"Helper"] = plat::ComPtr<IUnknown>(static_cast<ITestHelper*>(helper.get()));
    ASSERT_EQ(h.engine->AddNamedItem(u"Helper", SCRIPTITEM_ISVISIBLE), S_OK);
    ASSERT_EQ(h.engine->AddNamedItem(u"Absent", SCRIPTITEM_ISVISIBLE), S_OK);
    EXPECT_EQ(h.site->requests[u"Helper"], 0) << "not asked before use";

    ASSERT_EQ(h.run("var sum = Helper.Add(2, 3);\n"
                    "Helper.Name = 'caf\u00e9';\n"
                    "var name = Helper.Name + '!';\n"
                    "var mine = {tag: 'own'};\n"
                    "Helper.Keep(mine);\n"
                    "var same = Helper.Kept() === mine;\n"
                    "var caught = ''; try { Helper.Fail(); } catch (e) { caught = e.number; }\n"
                    "var missing = typeof Helper.NoSuchMember;"),
              S_OK);
    EXPECT_EQ(h.global(u"sum"), "5");
    EXPECT_EQ(h.global(u"name"), "caf\u00e9!");
    EXPECT_EQ(helper->name, "caf\u00e9");
    EXPECT_EQ(h.global(u"same"), "True") << "a script object comes back as itself";
    EXPECT_EQ(h.global(u"caught"), std::to_string(static_cast<LONG>(E_ACCESSDENIED)));
    EXPECT_EQ(h.global(u"missing"), "undefined");
    EXPECT_EQ(h.site->requests[u"Helper"], 1) << "asked once, then kept";

    // An object the script calls may read and write the script's objects back.
    ASSERT_EQ(h.run("var box = {label: 'old'};\n"
                    "Helper.Keep(box);\n"
                    "var was = Helper.Swap('label', 'new');\n"
                    "var now = box.label;"),
              S_OK);
    EXPECT_EQ(h.global(u"was"), "old");
    EXPECT_EQ(h.global(u"now"), "new");

    EXPECT_EQ(h.run("Absent.x;"), SCRIPT_E_REPORTED);
    ASSERT_EQ(h.site->errors.size(), 1u);
    EXPECT_NE(h.site->errors[0].description.find("Absent"), std::string::npos);
    EXPECT_EQ(h.site->errors[0].scode, TYPE_E_ELEMENTNOTFOUND);
    helper->kept.reset();
}

TEST(JScriptEngine, ObjectCreationIsOffUntilTheHostTurnsItOn)
{
    EngineHarness h;
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(h.engine->GetInterfaceSafetyOptions(IID_IActiveScript, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, INTERFACESAFE_FOR_UNTRUSTED_DATA);

    const char* script = "var d = new ActiveXObject('Microsoft.XMLDOM'); var ok = d.loadXML('<a/>');";
    EXPECT_EQ(h.run(script), SCRIPT_E_REPORTED);
    ASSERT_EQ(h.site->errors.size(), 1u);
    EXPECT_NE(h.site->errors[0].description.find("can't create object"), std::string::npos);

    h.allow_objects();
    EXPECT_EQ(h.run(script), S_OK);
    EXPECT_EQ(h.global(u"ok"), "True");
    EXPECT_EQ(h.run("new ActiveXObject('No.Such.Class');"), SCRIPT_E_REPORTED) << "unknown ProgID";
}

TEST(JScriptEngine, AClosedEngineRefusesCallsOnDispatchesStillHeld)
{
    EngineHarness h;
    ASSERT_EQ(h.run("function f() { return 1; }"), S_OK);
    const plat::ComPtr<IDispatch> globals = globals_of(h);
    ASSERT_TRUE(globals);
    const DISPID id = id_of(globals.get(), u"f");
    ASSERT_EQ(h.engine->Close(), S_OK);
    DISPPARAMS none{};
    plat::Variant result;
    EXPECT_EQ(globals->Invoke(id, GUID_NULL, 1024, DISPATCH_METHOD, &none, result.get(), nullptr, nullptr),
              E_UNEXPECTED);
    EXPECT_EQ(h.run("1"), E_UNEXPECTED);
    EXPECT_EQ(h.engine->AddNamedItem(u"X", SCRIPTITEM_ISVISIBLE), E_UNEXPECTED);
}

TEST(JScriptEngine, ScriptObjectsHandedToTheHostAnswerSafely)
{
    EngineHarness h;
    ASSERT_EQ(h.run("var trap = new Proxy({}, { has: function () { throw new Error('no'); } });\n"
                    "var plain = { value: 3, twice: function (n) { return n * 2; } };"),
              S_OK);
    plat::ComPtr<IDispatch> globals;
    ASSERT_EQ(h.engine->GetScriptDispatch(nullptr, globals.put()), S_OK);
    const struct { const char16_t* object; const char16_t* member; HRESULT hr; } cases[] = {
        {u"trap", u"anything", DISP_E_UNKNOWNNAME}, {u"plain", u"value", S_OK}, {u"plain", u"missing", DISP_E_UNKNOWNNAME}};
    for (const auto& c : cases) {
        plat::Variant object;
        DISPPARAMS none{};
        ASSERT_EQ(globals->Invoke(id_of(globals.get(), c.object), GUID_NULL, 1024, DISPATCH_PROPERTYGET, &none,
                                  object.get(), nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(object->vt, VT_DISPATCH);
        id_of(object->pdispVal, c.member, c.hr);
    }

    plat::Variant plain;
    DISPPARAMS none{};
    ASSERT_EQ(globals->Invoke(id_of(globals.get(), u"plain"), GUID_NULL, 1024, DISPATCH_PROPERTYGET, &none,
                              plain.get(), nullptr, nullptr),
              S_OK);
    VARIANT n;
    VariantInit(&n);
    n.vt = VT_I4;
    n.lVal = 21;
    DISPPARAMS one{&n, nullptr, 1, 0};
    plat::Variant result;
    ASSERT_EQ(plain->pdispVal->Invoke(id_of(plain->pdispVal, u"twice"), GUID_NULL, 1024, DISPATCH_METHOD, &one,
                                      result.get(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result->lVal, 42);
}

// Duktape's heap is not thread-safe: a call from a thread other than the
// engine's is refused before it reaches the heap, and the engine goes on.
TEST(JScriptEngine, CallsFromAnotherThreadAreRefusedAndLeaveTheEngineWhole)
{
    EngineHarness h;
    ASSERT_EQ(h.run("var n = 1;\nfunction bump() { return ++n; }"), S_OK);
    const plat::ComPtr<IDispatch> globals = globals_of(h);
    ASSERT_TRUE(globals);
    const DISPID bump = id_of(globals.get(), u"bump");

    std::vector<std::pair<const char*, HRESULT>> answers;
    std::thread other([&] {
        plat::JScriptEngine& engine = *h.engine.get();
        const std::u16string code = u"n = 100;";
        answers.emplace_back("ParseScriptText", engine.ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                                                       0, nullptr, nullptr));
        plat::ComPtr<IDispatch> dispatch;
        answers.emplace_back("GetScriptDispatch", engine.GetScriptDispatch(nullptr, dispatch.put()));
        answers.emplace_back("AddNamedItem", engine.AddNamedItem(u"Helper", SCRIPTITEM_ISVISIBLE));
        answers.emplace_back("SetScriptState", engine.SetScriptState(SCRIPTSTATE_CONNECTED));
        answers.emplace_back("Close", engine.Close());
        LPOLESTR name = const_cast<LPOLESTR>(u"bump");
        DISPID id = 0;
        answers.emplace_back("GetIDsOfNames", globals->GetIDsOfNames(GUID_NULL, &name, 1, 1024, &id));
        DISPPARAMS none{};
        plat::Variant result;
        answers.emplace_back("Invoke", globals->Invoke(bump, GUID_NULL, 1024, DISPATCH_METHOD, &none, result.get(),
                                                       nullptr, nullptr));
    });
    other.join();
    for (const auto& [call, answer] : answers) {
        SCOPED_TRACE(call);
        EXPECT_EQ(answer, RPC_E_WRONG_THREAD);
    }
    DISPPARAMS none{};
    plat::Variant result;
    ASSERT_EQ(globals->Invoke(bump, GUID_NULL, 1024, DISPATCH_METHOD, &none, result.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(h.global(u"n"), "2") << "nothing from the other thread ran";
}
