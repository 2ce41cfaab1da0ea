#include "core/app/KeepAwake.h"

namespace {

DWORD bit_of(WPARAM kind)
{
    switch (kind) {
    case 2: return 2;
    case 3: return 8;
    case 7: return 4;
    case 8: return 1;
    default: return 0;
    }
}

}

void KeepAwake::Change(WPARAM kind, bool on)
{
    const DWORD bit = bit_of(kind);
    const DWORD before = m_flags;
    m_flags = on ? m_flags | bit : m_flags & ~bit;
    if (!before && m_flags)
        m_set(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    else if (before && !m_flags)
        m_set(ES_CONTINUOUS);
}

void KeepAwake::Clear()
{
    m_flags = 0;
    m_set(ES_CONTINUOUS);
}
