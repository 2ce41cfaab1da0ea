#include "Accelerator.h"

#include "HandleTable.h"

#include <vector>

namespace {

plat::HandleTable<HACCEL, std::vector<ACCEL>>& accelerator_tables()
{
    static plat::HandleTable<HACCEL, std::vector<ACCEL>> t(0x20000);
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
    return accelerator_tables().add(std::move(kept));
}

BOOL DestroyAcceleratorTable(HACCEL table) { return accelerator_tables().remove(table) ? TRUE : FALSE; }

int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg)
{
    if (!hwnd || !msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
    const bool alt = (msg->lParam & (1 << 29)) != 0 || down(VK_MENU);
    BYTE held = (down(VK_SHIFT) ? FSHIFT : 0) | (down(VK_CONTROL) ? FCONTROL : 0) | (alt ? FALT : 0);
    std::optional<WORD> command;
    accelerator_tables().with(table, [&](const std::vector<ACCEL>& entries) {
        for (const ACCEL& a : entries)
            if (!command && a.key == msg->wParam && (a.fVirt & (FSHIFT | FCONTROL | FALT)) == held) command = a.cmd;
    });
    if (!command) return 0;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(*command, 1), 0);
    return 1;
}
