#pragma once
// The settings window built headless on the software device and the
// generated skin, in a temporary home, registry and autostart folder, with a
// controller double that records what the window tells it.

#include "components/common/regutil/ProgramKey.h"
#include "screens/settings/settingsLogic.h"
#include "screens/settings/wsettingpage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/resmgr/tests/SkinRig.h"

#include "components/common/regutil/CUTILregEx.h"
#include "core/settings/CAppSettings.h"
#include "outside/ostrel/testing/RefusingOstrel.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "prefetch/IPrefechManager.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace settings_test {

class OstrelDouble final : public ostrel_test::RefusingOstrel {
public:
    void SetMultiSource(BOOL on) override { multi = on; }

    std::optional<BOOL> multi;
};

class PrefetchDouble final : public IPrefechManager {
public:
    bool Init(IOstrel*, CRSSDBMgr*, const char*) override { return true; }
    bool Uninit() override { return true; }
    LONG Resume() override { return calls += "resume ", running = 1, 0; }
    LONG Pause() override { return calls += "pause ", running = 0, 0; }
    LONG Wake(LONG, LONG) override { return 0; }
    LONG Wake() override { return 0; }
    LONG IsRunning() override { return running; }
    void SetFavouritesFlag(bool on) override { calls += on ? "favourites(1) " : "favourites(0) "; }
    DWORD WorkerThread() override { return 0; }

    LONG running = 0;
    std::string calls;
};

class LogicDouble final : public UI::settingsLogic {
public:
    IOstrel* GetDownloader() const override { return downloader; }
    IPrefechManager* GetPrefetchManager() const override { return prefetch; }
    CRSSUpdater* GetUpdater() const override { return updater; }
    bool PostUICommand(int id) override { return posted.push_back(id), true; }
    void SetHighQuality(bool on) override { high_quality = on; }
    int RefreshItemQualityMarks() override { return ++refreshes, 0; }

    IOstrel* downloader = nullptr;
    IPrefechManager* prefetch = nullptr;
    CRSSUpdater* updater = nullptr;
    std::vector<int> posted;
    std::optional<bool> high_quality;
    int refreshes = 0;
};

// The deepest-first search of a widget's tree for a name.
inline UI::widget* find(UI::widget& root, std::string_view name)
{
    for (UI::widget* child : root.ChildrenInZOrder()) {
        if (child->GetName() == name) return child;
        if (UI::widget* found = find(*child, name)) return found;
    }
    return nullptr;
}

struct SettingsRig {
    plat::TempFolder home;
    plat::ScopedEnvironment home_env{"HOME", home.path().c_str()};
    plat::ScopedEnvironment data_env{"XDG_DATA_HOME", (home / "data").c_str()};
    plat::ScopedEnvironment config_env{"XDG_CONFIG_HOME", (home / "config").c_str()};
    plat::ScopedEnvironment registry_env{"STRIMO_REGISTRY_DIR", (home / "registry").c_str()};
    plat::ScopedEnvironment runtime_env{"STRIMO_RUNTIME_DIR", home.path().c_str()};
    test::SkinRig skin;
    CAppSettings settings;
    OstrelDouble downloader;
    PrefetchDouble prefetch;
    LogicDouble logic;
    std::unique_ptr<UI::wsettingpage> page;

    // `prefetch_running`: whether the prefetch manager reports itself enabled when the window is made.
    explicit SettingsRig(bool prefetch_running = true, float width = 1024)
    {
        prefetch.running = prefetch_running ? 1 : 0;
        logic.downloader = &downloader;
        logic.prefetch = &prefetch;
        page = std::make_unique<UI::wsettingpage>("window_setting");
        page->SetSize(width, 120);
        page->Create();
        page->SetLogic(&logic);
    }

    UI::widget& control(std::string_view name)
    {
        UI::widget* found = find(*page, name);
        if (!found) throw std::runtime_error("no control " + std::string(name));
        return *found;
    }
    // A check box or tab, clicked as the mouse does (a disabled one ignores it).
    void click_select(std::string_view name)
    {
        UI::widget& target = control(name);
        if (target.IsMouseTransparent()) return;
        UI::MouseEventArgs e;
        target.OnMouseUp(e);
    }
    void click_button(std::string_view name)
    {
        UI::MouseEventArgs e;
        control(name).OnMouseDown(e);
    }
    bool selected(std::string_view name) { return dynamic_cast<UI::wselectbtn&>(control(name)).IsSelected(); }
    std::u16string text(std::string_view name) { return control(name).GetText(); }
    void type(std::string_view name, const std::u16string& text) { control(name).SetText(text.c_str()); }

    static std::optional<DWORD> stored(const WCHAR* name)
    {
        CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
        DWORD value = 0xDEADBEEF;
        if (key.GetDWORD(name, value) != 0) return std::nullopt;
        return value;
    }
    static void store(const WCHAR* name, DWORD value)
    {
        CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
        key.SetDWORD(name, value);
    }
};

}
