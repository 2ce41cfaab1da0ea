#pragma once
// Out-of-process COM for this user: a running program publishes a class on a
// Unix socket named by its class id in plat::runtime_folder() (mode 0600, only
// peers of the same user served), and CoCreateInstance with
// CLSCTX_LOCAL_SERVER reaches it through a proxy. The class's interface
// supplies its own marshalling (LocalMarshalling.h).
//
//   plat::LocalServer server;                         // on the serving thread
//   if (SUCCEEDED(server.register_class(CLSID_X, factory.get(), x_marshalling())))
//       server.run();                                 // until WM_QUIT reaches this thread
//
// Served objects are created, called and released on the serving thread only.
// Replies never block it: a client that does not take its replies, or that
// queues more calls than a proxy ever does, is dropped.

#include "platform/com/LocalMarshalling.h"
#include "platform/com/Unknown.h"

#include <memory>

// Another process of this user already serves the class.
inline constexpr HRESULT CO_E_OBJISREG = hresult(0x800401FC);

namespace plat {

class LocalServer {
public:
    LocalServer();
    ~LocalServer();   // stops serving and removes the socket
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Publishes the class, whose objects are served as the interface `served`
    // describes; the calling thread is the one that will serve it, and the one
    // that destroys this object. Clients that connect before run() wait. A
    // socket left by a program that ended is replaced. CO_E_OBJISREG when a
    // live server has the class, E_UNEXPECTED when a class is already
    // registered here, else a Win32 error.
    HRESULT register_class(REFCLSID clsid, IClassFactory* factory, const LocalInterface& served);

    // Serves calls on this thread one at a time until it receives WM_QUIT;
    // other thread messages are dropped. Then stops serving. The exit code
    // that came with WM_QUIT.
    int run();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The client half, for CoCreateInstance: a proxy of the class served on this
// user's socket. REGDB_E_CLASSNOTREG when no program serves it,
// E_NOINTERFACE for an interface the object does not answer or this process
// does not carry (add_local_interface), E_ACCESSDENIED when the socket
// belongs to another user.
HRESULT create_local_object(REFCLSID clsid, REFIID iid, void** object) noexcept;

}
