#include "engines/wemble/PlayTaskInfo.h"
#include "engines/wemble/tests/PlayTestSupport.h"
#include "outside/ostrel/tests/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using namespace play_test;

TEST(Wemble, LibraryPlaysAndReleasesInThePlayLogicsOrder)
{
    void* library = dlopen(WEMBLE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<IBaseControl* (*)()>(dlsym(library, "CreatePlayCtrlInstance"));
    auto release = reinterpret_cast<void (*)(IBaseControl*)>(dlsym(library, "ReleasePlayCtrlInstance"));
    ASSERT_TRUE(create && release);
    release(nullptr);

    plat::TempFolder folder;
    ostrel_test::TestServer server;
    // Held back half way: the release comes while the item still downloads.
    server.add("v.flv", scripted_media(40, 32768, 2, 1), 20 * 32768);
    std::unique_ptr<IOstrel, void (*)(IOstrel*)> ostrel(ostrel::create({}), &ReleaseOstrel);
    ASSERT_TRUE(ostrel->Init(folder.path().c_str(), 0));

    Listener listener;
    IBaseControl* control = create();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetType(), 6);
    control->SendCommand(CMD_SET_DOWNLOADER, ostrel.get(), nullptr, 0);
    control->SendCommand(CMD_INIT, nullptr, nullptr, 0);
    control->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    auto task = url_task(server.url("v.flv"));
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_count([](const Heard& h) { return h.code == EVT_POSITION && h.value >= 3; }, 1));

    control->SendCommand(CMD_STOP, nullptr, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_STOPPED));
    control->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    control->SendCommand(CMD_REMOVE_LISTENER, &listener, nullptr, 0);
    release(control);   // while the item is still downloading
    dlclose(library);
}

}
