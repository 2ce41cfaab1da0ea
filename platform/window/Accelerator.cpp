#include "Accelerator.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

struct AcceleratorTables {
    std::mutex lock;
    std::map<HACCEL, std::vector<ACCEL>> tables;   // guarded by lock
    std::uintptr_t next = 0x20000;                 // guarded by lock
};

AcceleratorTables& accelerator_tables()
{
    static AcceleratorTables t;
    return t;
}

bool down(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count)
{
    if (!entries || count <= 0) return nullptr;
    std::vector<ACCEL> kept;
    for (int i = 0; i < count; ++i)
        if (entries[i].fVirt & FVIRTKEY) kept.push_back(entries[i]);
    auto& t = accelerator_tables();
    std::scoped_lock hold(t.lock);
    HACCEL handle = reinterpret_cast<HACCEL>(t.next += 4);
    t.tables[handle] = std::move(kept);
    return handle;
}

BOOL DestroyAcceleratorTable(HACCEL table)
{
    auto& t = accelerator_tables();
    std::scoped_lock hold(t.lock);
    return t.tables.erase(table) ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg)
{
    if (!hwnd || !msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
    const bool alt = (msg->lParam & (1 << 29)) != 0 || down(VK_MENU);
    BYTE held = (down(VK_SHIFT) ? FSHIFT : 0) | (down(VK_CONTROL) ? FCONTROL : 0) | (alt ? FALT : 0);
    WORD command = 0;
    bool found = false;
    {
        auto& t = accelerator_tables();
        std::scoped_lock hold(t.lock);
        auto it = t.tables.find(table);
        if (it == t.tables.end()) return 0;
        for (const ACCEL& a : it->second) {
            if (a.key == msg->wParam && (a.fVirt & (FSHIFT | FCONTROL | FALT)) == held) {
                command = a.cmd;
                found = true;
                break;
            }
        }
    }
    if (!found) return 0;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    return 1;
}
