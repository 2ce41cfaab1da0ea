#pragma once
// The feed parser's script engine: made once per parser, loaded with the
// parser script that Pellow carries, connected, and kept for the parser's
// life. Null when any step of the set-up failed.

#include "platform/com/ComPtr.h"
#include "scripthost/feldane/FeldaneLib.h"

class CScriptAgent {
public:
    CScriptAgent();
    ~CScriptAgent();
    CScriptAgent(const CScriptAgent&) = delete;
    CScriptAgent& operator=(const CScriptAgent&) = delete;

protected:
    IFeldaneEngine* engine() const { return m_engine.get(); }

private:
    HRESULT Setup();
    HRESULT tell_feed_settings();

    plat::ComPtr<IFeldaneEngine> m_engine;
};
