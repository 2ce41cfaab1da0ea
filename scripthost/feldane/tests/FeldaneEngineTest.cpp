#include "scripthost/feldane/FeldaneLib.h"

#include "platform/automation/testing/AutomationTesting.h"
#include "platform/base/DebugLog.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/script/ActiveScript.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

class FeldaneTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, FELDANE_MODULE}));
    }
    void TearDown() override
    {
        for (auto& engine : m_engines)
            engine->Close();
        m_engines.clear();
        CoUninitialize();
    }

    // A new engine, closed at the end of the test.
    IFeldaneEngine* create()
    {
        plat::ComPtr<IFeldaneEngine> engine;
        EXPECT_EQ(CoCreateInstance(CLSID_FeldaneEngine, nullptr, CLSCTX_ALL, IID_IFeldaneEngine, engine.put_void()),
                  S_OK);
        m_engines.push_back(engine);
        return engine.get();
    }

    // Initialised, loaded with the script and connected.
    IFeldaneEngine* load(const char* script, VARIANT_BOOL debug = VARIANT_FALSE)
    {
        IFeldaneEngine* engine = create();
        plat::Bstr name(u"Test"), text = plat::Bstr::from_utf8(script);
        EXPECT_EQ(engine->Initialize(debug, name.get()), S_OK);
        EXPECT_EQ(engine->AddScriptContent(text.get(), name.get()), S_OK);
        EXPECT_EQ(engine->Connect(), S_OK);
        return engine;
    }

    static std::string call_text(IFeldaneEngine* engine, const char16_t* function)
    {
        plat::Variant result;
        plat::Bstr name(function);
        EXPECT_EQ(engine->InvokeMethod(name.get(), result.get()), S_OK);
        return result->vt == VT_BSTR ? plat::bstr_to_utf8(result->bstrVal) : "<not text>";
    }

    plat::TemporaryRegistry m_registry;
    std::vector<plat::ComPtr<IFeldaneEngine>> m_engines;
};

}

TEST_F(FeldaneTest, InvokeParamMethodPassesTheArrayLastFirst)
{
    IFeldaneEngine* engine = load("function f(x, y) { return x + ',' + y; }");
    VARIANT args[2] = {plat::bstr_variant("a"), plat::bstr_variant("b")};
    plat::Variant result;
    plat::Bstr f(u"f");
    ASSERT_EQ(engine->InvokeParamMethod(f.get(), args, 2, result.get()), S_OK);
    EXPECT_EQ(plat::bstr_to_utf8(result->bstrVal), "b,a");
    VariantClear(&args[0]);
    VariantClear(&args[1]);

    plat::Bstr missing(u"nope");
    EXPECT_EQ(engine->InvokeParamMethod(missing.get(), nullptr, 0, result.get()), DISP_E_UNKNOWNNAME);
}

TEST_F(FeldaneTest, CallsOutOfOrderFail)
{
    IFeldaneEngine* engine = create();
    plat::Bstr name(u"n"), script(u"var n = 1;");
    plat::Variant value;
    EXPECT_EQ(engine->Close(), E_UNEXPECTED);
    EXPECT_EQ(engine->Connect(), E_UNEXPECTED);
    EXPECT_EQ(engine->InvokeMethod(name.get(), value.get()), E_FAIL);
    ASSERT_EQ(engine->Initialize(VARIANT_FALSE, name.get()), S_OK);
    EXPECT_EQ(engine->Initialize(VARIANT_FALSE, name.get()), E_UNEXPECTED);
    ASSERT_EQ(engine->AddScriptContent(script.get(), name.get()), S_OK);
    EXPECT_EQ(engine->GetProperty(name.get(), value.get()), E_FAIL) << "not connected yet";
    ASSERT_EQ(engine->Connect(), S_OK);
    ASSERT_EQ(engine->GetProperty(name.get(), value.get()), S_OK);
    EXPECT_EQ(value->vt, VT_I4);
    EXPECT_EQ(value->lVal, 1);
}

TEST_F(FeldaneTest, PropertiesAreWrittenByValueAndByReference)
{
    IFeldaneEngine* engine = load("var host = ''; var helper = null;\n"
                                  "function describe() { return host + ':' + helper.GetLocaleID().length; }");
    plat::Bstr host(u"host"), helper(u"helper"), helper_name(u"ScriptHelper");
    VARIANT value = plat::bstr_variant("127.0.0.1");
    ASSERT_EQ(engine->PutProperty(host.get(), &value), S_OK);
    VariantClear(&value);

    plat::Variant object;
    ASSERT_EQ(engine->GetProperty(helper_name.get(), object.get()), S_OK);
    ASSERT_EQ(object->vt, VT_DISPATCH);
    ASSERT_EQ(engine->PutProperty(helper.get(), object.get()), S_OK);
    EXPECT_EQ(call_text(engine, u"describe"), "127.0.0.1:4");
}

TEST_F(FeldaneTest, LoggerIsMadeOnFirstUseAndOtherNamesAreUnknown)
{
    plat::DebugCapture capture;
    IFeldaneEngine* engine = load("function log() { Logger.Log('from the script'); Logger.Log2('second', 3); return 'done'; }");
    auto site = plat::ComPtr<IFeldaneEngine>(engine).as<IActiveScriptSite>();
    ASSERT_TRUE(site);

    plat::ComPtr<IUnknown> item;
    EXPECT_EQ(site->GetItemInfo(u"Nothing", SCRIPTINFO_IUNKNOWN, item.put(), nullptr), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(site->GetItemInfo(u"logger", SCRIPTINFO_IUNKNOWN, item.put(), nullptr), TYPE_E_ELEMENTNOTFOUND)
        << "the name is compared with its case";
    EXPECT_EQ(site->GetItemInfo(u"ScriptHelper", SCRIPTINFO_IUNKNOWN, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND)
        << "no place for the object";

    EXPECT_EQ(call_text(engine, u"log"), "done");
    EXPECT_TRUE(capture.contains("from the script"));
    EXPECT_TRUE(capture.contains("second"));
    ASSERT_EQ(site->GetItemInfo(u"Logger", SCRIPTINFO_IUNKNOWN, item.put(), nullptr), S_OK);
    EXPECT_TRUE(plat::ComPtr<IUnknown>(item).as<IScriptLogger>());
}

TEST_F(FeldaneTest, ScriptErrorsPrintTheirBlockAndFailTheCall)
{
    IFeldaneEngine* engine = load("function parse() {\n  throw new Error('broken feed');\n}");
    plat::DebugCapture capture;
    plat::Variant result;
    plat::Bstr parse(u"parse");
    EXPECT_EQ(engine->InvokeMethod(parse.get(), result.get()), SCRIPT_E_REPORTED);
    const std::vector<std::string> expected = {
        "**********************************\n",
        "Script Error:\n",
        "Error: JScript runtime error\n",
        "Description: broken feed\n",
        "Error code: 0x800a139e - \n",
        "Source:   throw new Error('broken feed');\n",
        "Line: 1, Char: 0\n",
        "**********************************\n\n",
    };
    EXPECT_EQ(capture.lines(), expected);
}

TEST_F(FeldaneTest, DebugModeFollowsTheEnvironment)
{
    const struct { std::optional<std::string> value; VARIANT_BOOL argument; bool session; bool prefix; } cases[] = {
        {"true", VARIANT_FALSE, true, true},
        {"True", VARIANT_FALSE, true, true},
        {"TRUE", VARIANT_FALSE, true, true},
        {"yes", VARIANT_FALSE, false, false},
        {"1", VARIANT_FALSE, false, false},
        {std::nullopt, VARIANT_FALSE, false, false},
        {std::nullopt, VARIANT_TRUE, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.value_or("<unset>") + (c.argument ? " with debug asked" : ""));
        plat::ScopedEnvironment feldane("FELDANE", c.value ? c.value->c_str() : nullptr);
        plat::DebugCapture capture;
        IFeldaneEngine* engine = create();
        plat::Bstr name(u"Test"), script(u"throw new Error('first line');");
        ASSERT_EQ(engine->Initialize(c.argument, name.get()), S_OK);
        EXPECT_EQ(capture.contains("script debug: session started for Test"), c.session);
        // The error block shows the line that ran.
        EXPECT_EQ(engine->AddScriptContent(script.get(), name.get()), SCRIPT_E_REPORTED);
        EXPECT_EQ(capture.contains("Source: debugger;throw new Error('first line');"), c.prefix);
        EXPECT_EQ(capture.contains("Source: throw new Error('first line');"), !c.prefix);
    }
}

TEST_F(FeldaneTest, LocaleIdIsTheSystemLanguageInFourHexDigits)
{
    const struct { const char* lang; const char* id; } cases[] = {{"en_US.UTF-8", "0409"}, {"zh_CN.UTF-8", "0804"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        plat::ScopedEnvironment all("LC_ALL", nullptr);
        plat::ScopedEnvironment lang("LANG", c.lang);
        IFeldaneEngine* engine = load("function id() { return ScriptHelper.GetLocaleID(); }");
        EXPECT_EQ(call_text(engine, u"id"), c.id);
    }
}
