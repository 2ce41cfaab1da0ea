#include "screens/settings/wsettingpage.h"

#include "screens/settings/CacheFolder.h"
#include "screens/settings/settingsLogic.h"
#include "screens/settings/wsettingpageControls.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"
#include "core/settings/CAppSettings.h"
#include "core/settings/SettingNumbers.h"
#include "core/updater/CRSSUpdater.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/Utf.h"
#include "platform/devices/Drives.h"
#include "platform/fs/Autostart.h"
#include "platform/fs/Folders.h"
#include "platform/window/FileDialog.h"
#include "prefetch/IPrefechManager.h"

#include <cstdint>
#include <string>

// What each page shows and writes: the registry values, the settings
// object's folders, and the parts of the program told on Apply.

namespace UI {

namespace {

constexpr REGSAM SettingsAccess = KEY_READ | KEY_WRITE;   // 0x2001F
constexpr int CacheFolderSlot = 1;
constexpr int DownloadFolderSlot = 9;

DWORD read_dword(const CUTILregEx& key, const WCHAR* name, DWORD fallback)
{
    DWORD value = fallback;
    key.GetDWORD(name, value);
    return value;
}

std::u16string decimal(DWORD value)
{
    return plat::utf8_to_utf16(std::to_string(static_cast<std::int32_t>(value)));
}

// The field's number as a decimal integer (leading blanks, a sign, digits;
// no digits reads 0), limited to the number's range with an unsigned
// comparison: a negative entry counts as above it, as does one too long to hold.
DWORD limited_number(const std::u16string& text, const RegNumber& range)
{
    std::size_t at = text.find_first_not_of(u" \t");
    if (at == std::u16string::npos) return range.low;
    bool negative = false;
    if (text[at] == u'-' || text[at] == u'+') negative = text[at++] == u'-';
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        value = value * 10 + std::uint64_t(text[at] - u'0');
        if (value > range.high) break;
    }
    if (negative && value != 0) return range.high;
    if (value < range.low) return range.low;
    return value > range.high ? range.high : DWORD(value);
}

std::string settings_path(int slot)
{
    const WCHAR* path = CAppSettings::Instance() ? CAppSettings::Instance()->GetPath(slot) : nullptr;
    return path ? plat::utf16_to_utf8(path) : std::string();
}

void select(wselectbtn* button, bool selected)
{
    if (button) button->SetSelected(selected);
}

bool selected(const wselectbtn* button) { return button && button->IsSelected(); }

}  // namespace

void wsettingpage::Revert()
{
    switch (m_current_page) {
    case General: return RevertGeneral();
    case Feeds: return RevertFeeds();
    case PlaybackDownload: return RevertPlayback();
    case Prefetch: return RefreshPrefetchPage();
    default: return;
    }
}

void wsettingpage::Apply()
{
    switch (m_current_page) {
    case General: return ApplyGeneral();
    case Feeds: return ApplyFeeds();
    case PlaybackDownload: return ApplyPlayback();
    case Prefetch: return ApplyPrefetch();
    default: return;
    }
}

void wsettingpage::RevertGeneral()
{
    Controls& c = *m_controls;
    const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
    select(c.auto_run, read_dword(key, u"AutoRun", 0) != 0);
    select(c.full_screen, read_dword(key, u"StartAsFullScreen", 0) != 0);
    select(c.to_tray, read_dword(key, u"ToTray", 1) != 0);
    select(c.accelerator, read_dword(key, u"MultiDownCount", 3) == 3);
}

void wsettingpage::RevertFeeds()
{
    Controls& c = *m_controls;
    const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
    if (c.item_count) c.item_count->SetText(decimal(ReadNumber(key, SettingNumbers::ItemsPerChannel)).c_str());
    if (c.interval) c.interval->SetText(decimal(ReadNumber(key, SettingNumbers::RefreshMinutes)).c_str());
}

void wsettingpage::RevertPlayback()
{
    Controls& c = *m_controls;
    if (c.cache_folder) c.cache_folder->SetText(plat::utf8_to_utf16(settings_path(CacheFolderSlot)).c_str());
    // The download folder too: a folder chosen but not applied would
    // otherwise outlive Cancel and be stored by a later Apply.
    if (c.download_folder)
        c.download_folder->SetText(plat::utf8_to_utf16(settings_path(DownloadFolderSlot)).c_str());
    const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
    select(c.high_quality, read_dword(key, u"HDMode", 1) != 0);
}

void wsettingpage::RefreshPrefetchPage()
{
    Controls& c = *m_controls;
    DWORD favourites = 1;
    {
        const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
        favourites = read_dword(key, u"PrefetchMyFavorites", 1);
    }
    IPrefechManager* prefetch = m_logic ? m_logic->GetPrefetchManager() : nullptr;
    const bool enabled = prefetch && prefetch->IsRunning() != 0;
    select(c.enable_prefetch, enabled);
    select(c.favourites, favourites != 0);
    if (c.favourites) SetFavouritesEnabled(enabled);
}

void wsettingpage::ApplyGeneral()
{
    Controls& c = *m_controls;
    CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
    if (c.auto_run) {
        const std::string program = plat::program_file();
        if (c.auto_run->IsSelected() && !program.empty())
            plat::write_autostart_entry(program);
        else if (!c.auto_run->IsSelected())
            plat::remove_autostart_entry();
        key.SetDWORD(u"AutoRun", c.auto_run->IsSelected() ? 1 : 0);
    }
    if (c.full_screen) key.SetDWORD(u"StartAsFullScreen", c.full_screen->IsSelected() ? 1 : 0);
    if (c.to_tray) key.SetDWORD(u"ToTray", c.to_tray->IsSelected() ? 1 : 0);
    if (c.accelerator) {
        const bool on = c.accelerator->IsSelected();
        if (IOstrel* downloader = m_logic ? m_logic->GetDownloader() : nullptr) downloader->SetMultiSource(on);
        key.SetDWORD(u"MultiDownCount", on ? 3 : 1);
    }
}

void wsettingpage::ApplyFeeds()
{
    Controls& c = *m_controls;
    if (!c.item_count || !c.interval) return;
    const DWORD items = limited_number(c.item_count->GetText(), SettingNumbers::ItemsPerChannel);
    const DWORD minutes = limited_number(c.interval->GetText(), SettingNumbers::RefreshMinutes);
    c.item_count->SetText(decimal(items).c_str());
    c.interval->SetText(decimal(minutes).c_str());
    {
        CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
        key.SetDWORD(SettingNumbers::ItemsPerChannel.name, items);
        key.SetDWORD(SettingNumbers::RefreshMinutes.name, minutes);
    }
    // The updater takes the new period and limit and refreshes every channel.
    if (CRSSUpdater* updater = m_logic ? m_logic->GetUpdater() : nullptr)
        updater->Reconfigure(minutes * 60, static_cast<std::int32_t>(items), std::string(), -1);
}

void wsettingpage::ApplyPlayback()
{
    Controls& c = *m_controls;
    if (CAppSettings* settings = CAppSettings::Instance()) {
        if (c.cache_folder) settings->SetPath(CacheFolderSlot, c.cache_folder->GetText().c_str());
        if (c.download_folder) settings->SetPath(DownloadFolderSlot, c.download_folder->GetText().c_str());
    }
    if (!c.high_quality) return;
    const bool on = c.high_quality->IsSelected();
    {
        CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
        key.SetDWORD(u"HDMode", on ? 1 : 0);
    }
    if (m_logic) m_logic->SetHighQuality(on);
}

void wsettingpage::ApplyPrefetch()
{
    Controls& c = *m_controls;
    IPrefechManager* prefetch = m_logic ? m_logic->GetPrefetchManager() : nullptr;
    CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, SettingsAccess);
    if (c.enable_prefetch) {
        const bool on = c.enable_prefetch->IsSelected();
        if (prefetch) {
            if (on)
                prefetch->Resume();
            else
                prefetch->Pause();
        }
        key.SetDWORD(u"EnablePrefetch", on ? 1 : 0);
    }
    if (c.favourites) {
        SetFavouritesEnabled(selected(c.enable_prefetch));
        const bool on = c.favourites->IsSelected();
        key.SetDWORD(u"PrefetchMyFavorites", on ? 1 : 0);
        if (prefetch) prefetch->SetFavouritesFlag(on);
    }
}

void wsettingpage::BrowseFolder(int command)
{
    Controls& c = *m_controls;
    wtext* target = command == CommandBrowseCache      ? c.cache_folder
                    : command == CommandBrowseDownload ? c.download_folder
                                                       : nullptr;
    if (!target) return;
    const d3dresMgr* manager = d3dresMgr::Instance();
    std::u16string title = manager ? manager->LoadText(7100) : std::u16string();
    if (title.empty()) title = u"Please select path!";
    const std::optional<std::string> chosen = plat::choose_folder(title, plat::utf16_to_utf8(target->GetText()));
    if (!chosen) return;
    const std::u16string path = plat::utf8_to_utf16(*chosen);
    if (path.empty() || GetDriveTypeW(path.c_str()) != DRIVE_FIXED) {
        ShowRefusal();
        return;
    }
    target->SetText(path.c_str());
}

void wsettingpage::RefreshCacheUsage(const std::string& folder)
{
    Controls& c = *m_controls;
    const CacheUsage usage = MeasureCacheFolder(folder.empty() ? settings_path(CacheFolderSlot) : folder);
    if (c.cache_bar) {
        c.cache_bar->SetRange(100);
        c.cache_bar->SetValue(float(CacheUsagePercent(usage)));
    }
    if (c.cache_usage) {
        c.cache_usage->SetText(CacheUsageText(usage).c_str());
    }
}

bool wsettingpage::Clean()
{
    if (!CleanCacheFolder(settings_path(CacheFolderSlot))) return false;
    RefreshCacheUsage();
    CRSSDBMgr::Instance().SetItemStatus(0, 0);
    if (m_logic) m_logic->RefreshItemQualityMarks();
    return true;
}

}
