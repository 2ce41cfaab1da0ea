#include "CAppSettings.h"

#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/display/Display.h"
#include "platform/fs/Folders.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

// Path slots:
//   0 program folder, with a trailing '/'
//   1 content cache folder (also the download manager's), "ContentCacheFolder"
//   2 content cache folder as built at start
//   3 video folder
//   4 installer file
//   6 data folder (the feed database lies here)
//   7 image folder (given to the prefetch manager)
//   8 background picture file, "BGPath"
//   9 download folder, without a trailing '/', "DownloadFolder"

namespace {

std::atomic<CAppSettings*>& instance_slot()
{
    static std::atomic<CAppSettings*> instance{nullptr};
    return instance;
}

bool valid_slot(int index) { return index >= 0 && index <= 9 && index != 5; }

// Creates a folder the program keeps its files in; a failure is reported and the folder not used.
bool build_folder(const std::string& path)
{
    if (plat::create_folder_tree(path)) return true;
    plat::debug_log("Build   Directory" + path + "   Fail!");
    return false;
}

}

CAppSettings::CAppSettings()
{
    instance_slot().store(this);
    const plat::ScreenSize screen = plat::screen_size();
    m_screen_width = static_cast<float>(screen.width);
    m_screen_height = static_cast<float>(screen.height);
    m_ui_height = m_screen_height / m_screen_width >= 0.75f ? 769.5f : 577.125f;
    recompute_scale();
    build_default_folders();
}

CAppSettings::~CAppSettings()
{
    CAppSettings* self = this;
    instance_slot().compare_exchange_strong(self, nullptr);
}

CAppSettings* CAppSettings::Instance() { return instance_slot().load(); }

void CAppSettings::recompute_scale()
{
    m_scale_x = m_client_width / m_screen_width;
    m_scale_y = m_client_height / m_screen_height;
}

bool CAppSettings::SetPath(int index, const WCHAR* text)
{
    if (!valid_slot(index) || !text) return false;
    const std::size_t length = plat::wide_length(text);
    if (length >= MAX_PATH) {
        plat::debug_log("settings: path too long for slot " + std::to_string(index));
        return false;
    }
    auto& slot = m_paths[static_cast<std::size_t>(index)];
    std::copy(text, text + length, slot.begin());
    slot[length] = 0;
    return true;
}

const WCHAR* CAppSettings::GetPath(int index) const
{
    return valid_slot(index) ? m_paths[static_cast<std::size_t>(index)].data() : nullptr;
}

void CAppSettings::build_default_folders()
{
    auto set = [this](int slot, const std::string& path) { SetPath(slot, plat::utf8_to_utf16(path).c_str()); };
    const std::string program = plat::join_path(plat::program_folder(), "");
    for (int slot : {1, 2, 3, 0, 9}) set(slot, program);

    if (auto app_data = plat::app_data_folder()) {
        set(1, *app_data);
        set(2, *app_data);
        if (std::string cache = plat::join_path(*app_data, "Corvalen/Strimo/ContentCache/"); build_folder(cache))
            set(1, cache);
        SetPath(2, GetPath(1));
        if (std::string data = plat::join_path(*app_data, "Corvalen/Strimo/"); build_folder(data)) {
            set(6, data);
            set(4, data + "Install_Strimo.exe");
        }
        if (std::string download = plat::join_path(*app_data, "Corvalen/Strimo/MyDownload"); build_folder(download))
            set(9, download);
        if (std::string image = plat::join_path(*app_data, "Corvalen/Strimo/Image/"); build_folder(image))
            set(7, image);
    }
    if (auto videos = plat::videos_folder()) {
        set(3, *videos);
        if (std::string own = plat::join_path(*videos, "Strimo/"); build_folder(own)) set(3, own);
    }
}

float CAppSettings::GetMetric(int index) const
{
    switch (index) {
    case 0: return m_scale_x;
    case 1: return m_scale_y;
    case 2: return m_screen_width;
    case 3: return m_screen_height;
    case 4: return m_client_width;
    case 5: return m_client_height;
    case 6: return m_ui_width;
    case 7: return m_ui_height;
    case 8:
    case 9: return 25.0f;
    case 12: return 8888.0f;
    case 13: return static_cast<float>(m_number);
    case 14: return static_cast<float>(m_ui_back_buffer);
    case 17: return m_show_search_tips;
    case 18: return m_show_my_channel_tips;
    default: return 0.0f;
    }
}

void CAppSettings::SetNumber(int index, double value)
{
    const bool finite = std::isfinite(value);
    switch (index) {
    case 2:
    case 3:
        // A scale divides by the screen size.
        if (!finite || value <= 0) return;
        (index == 2 ? m_screen_width : m_screen_height) = static_cast<float>(value);
        recompute_scale();
        return;
    case 4:
    case 5:
        if (!finite) return;
        (index == 4 ? m_client_width : m_client_height) = static_cast<float>(value);
        recompute_scale();
        return;
    case 13:
        if (finite && value > std::numeric_limits<int>::min() - 1.0 && value < std::numeric_limits<int>::max() + 1.0)
            m_number = static_cast<int>(value);
        return;
    case 17: m_show_search_tips = value != 0; return;
    case 18: m_show_my_channel_tips = value != 0; return;
    default: return;
    }
}

CAppSettings::ClientArea CAppSettings::GetClientArea() const
{
    if (m_client_width != m_screen_width || m_client_height != m_screen_height)
        return {0, 25, m_client_width, m_client_height - 25};
    return {0, 0, m_screen_width, m_screen_height};
}

void CAppSettings::Load()
{
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    const struct { const WCHAR* name; int slot; } strings[] = {
        {u"BGPath", 8}, {u"ContentCacheFolder", 1}, {u"DownloadFolder", 9}};
    for (const auto& s : strings) {
        std::array<WCHAR, MAX_PATH> text{};
        DWORD size = sizeof text;
        if (reg.GetString(s.name, text.data(), size) == ERROR_SUCCESS) SetPath(s.slot, text.data());
    }
    reg.GetDWORD(u"UIBackBuffer", m_ui_back_buffer);
    for (auto [name, flag] : {std::pair{u"ShowSearchTips", &m_show_search_tips},
                              std::pair{u"ShowMyChannelTips", &m_show_my_channel_tips}}) {
        DWORD value = *flag;
        reg.GetDWORD(name, value);
        *flag = value != 0;
    }
}

void CAppSettings::Save() const
{
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    reg.SetString(u"BGPath", GetPath(8));
    reg.SetString(u"ContentCacheFolder", GetPath(1));
    reg.SetString(u"DownloadFolder", GetPath(9));
    reg.SetDWORD(u"UIBackBuffer", m_ui_back_buffer);
    reg.SetDWORD(u"ShowSearchTips", m_show_search_tips);
    reg.SetDWORD(u"ShowMyChannelTips", m_show_my_channel_tips);
}
