#pragma once
// The COM library calls the system makes: per-thread initialisation, creating
// objects by class id through HKCR in the registry store, ProgIDs and task memory.

#include "platform/com/Unknown.h"

// Server contexts a creation may use. In-process servers are loaded from HKCR;
// a local server is a running program of this user (LocalServer.h).
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// The first call on a thread gives S_OK, later ones S_FALSE; each success needs
// its CoUninitialize. Asking for the other threading model than the thread
// already has gives RPC_E_CHANGED_MODE and counts nothing.
HRESULT CoInitialize(LPVOID reserved) noexcept;
HRESULT CoInitializeEx(LPVOID reserved, DWORD coinit) noexcept;
void CoUninitialize() noexcept;

// On a thread that has not initialised COM: CO_E_NOTINITIALIZED. A class without
// an in-process server in HKCR: REGDB_E_CLASSNOTREG. A server module that does
// not load: CO_E_DLLNOTFOUND; one without DllGetClassObject: CO_E_ERRORINDLL.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, LPVOID server_info, REFIID iid, void** object) noexcept;
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID iid, void** object) noexcept;

// The class id under HKCR\<ProgID>\CLSID; CO_E_CLASSSTRING for an unknown ProgID.
HRESULT CLSIDFromProgID(const WCHAR* prog_id, CLSID* clsid) noexcept;

// Cancelling the call under way on another thread: a thread that allows it
// (CoEnableCallCancellation) can be told from any thread to give up what it is
// doing (CoCancelCall, by its GetCurrentThreadId; the time-out is not used).
// Long waits inside a call on that thread ask CoTestCancel and end early.
// Unlike Windows, a cancel holds until the thread disables cancellation, so a
// thread that is being stopped also fails every later call at once.
// CoCancelCall on a thread that does not allow it gives CO_E_CANCEL_DISABLED.
inline constexpr HRESULT RPC_E_CALL_CANCELED = hresult(0x80010002);
inline constexpr HRESULT RPC_S_CALLPENDING = hresult(0x80010115);
inline constexpr HRESULT CO_E_CANCEL_DISABLED = hresult(0x80010140);
HRESULT CoEnableCallCancellation(LPVOID reserved) noexcept;
HRESULT CoDisableCallCancellation(LPVOID reserved) noexcept;
HRESULT CoCancelCall(DWORD thread_id, ULONG timeout) noexcept;
// RPC_E_CALL_CANCELED once this thread's call was cancelled, else RPC_S_CALLPENDING.
HRESULT CoTestCancel() noexcept;

void* CoTaskMemAlloc(SIZE_T size) noexcept;
void CoTaskMemFree(void* block) noexcept;
