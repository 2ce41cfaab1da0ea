#pragma once
// The main window built headless on the software device and the generated
// skin, with settings for a 1024 x 576 screen in a temporary home and registry.

#include "components/common/regutil/ProgramKey.h"
#include "screens/builder/uiBuilder.h"
#include "toolkit/resmgr/tests/SkinRig.h"

#include "components/common/regutil/CUTILregEx.h"
#include "core/settings/CAppSettings.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <optional>

namespace test {

struct MainWindowRig {
    plat::TempFolder home;
    plat::ScopedEnvironment home_env{"HOME", home.path().c_str()};
    plat::ScopedEnvironment data_env{"XDG_DATA_HOME", (home / "data").c_str()};
    plat::ScopedEnvironment registry_env{"STRIMO_REGISTRY_DIR", (home / "registry").c_str()};
    SkinRig skin;
    CAppSettings settings;
    UI::uiBuilder builder;

    // ui_back_buffer: the "UIBackBuffer" value stored before the settings load, if any.
    explicit MainWindowRig(std::optional<DWORD> ui_back_buffer = std::nullopt)
    {
        if (ui_back_buffer) {
            CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
            key.SetDWORD(u"UIBackBuffer", *ui_back_buffer);
            settings.Load();
        }
        for (int index : {2, 4}) settings.SetNumber(index, 1024);
        for (int index : {3, 5}) settings.SetNumber(index, 576);
    }
};

}
