#include "playback/playlogic/uiLogicFilePlay.h"

#include "components/common/controlengine/IBaseControl.h"
#include "components/common/feeddb/RSSData.h"
#include "engines/wemble/Wemble.h"
#include "outside/ostrel/DownloadTaskInfo.h"
#include "playback/common/NameClean.h"
#include "playback/playlogic/FileTypes.h"
#include "playback/playlogic/OpenURLDialog.h"
#include "playback/playlogic/PlayLogicHost.h"
#include "outside/filters/ISampleReader.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/window/FileDialog.h"
#include "toolkit/uimgr/MainWindowMessages.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <chrono>
#include <cstring>

namespace UI {
namespace {

constexpr LONG full_bar = 1000000000;
// A local file's engine starts at once; a controller that never tells of it
// still gets its kind asked after this long.
constexpr auto start_wait = std::chrono::seconds(3);

// Local files are absolute paths; anything else is an address the controller fetches.
bool is_local(std::u16string_view path)
{
    return !path.empty() && path.front() == u'/';
}

// The file's name without its folder and without its last extension.
std::u16string title_of(std::u16string_view path)
{
    const std::size_t slash = path.find_last_of(u"/\\");
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::u16string(name);
}

void debug_path(std::u16string_view path)
{
    plat::debug_log("play: " + plat::utf16_to_utf8(path, plat::Utf8Rules::SurrogatesKept));
    plat::debug_log(std::string("play: file type ") + FileKindLabel(FileKindOf(path)));
}

bool is_audio_only(LONG kind)
{
    return kind >= 13 && kind <= 16;
}

}

PlayControllerFactory PlayControllerFactory::Wemble()
{
    return {&CreatePlayCtrlInstance, &ReleasePlayCtrlInstance};
}

uiLogicFilePlay::uiLogicFilePlay(PlayLogicHost& host, PlayControllerFactory factory)
    : m_host(host), m_factory(factory)
{
    InitEventNames();
    CreateController();
}

uiLogicFilePlay::uiLogicFilePlay(std::unique_ptr<PlayLogicHost> host, PlayControllerFactory factory)
    : m_owned_host(std::move(host)), m_host(*m_owned_host), m_factory(factory)
{
    InitEventNames();
    CreateController();
}

uiLogicFilePlay::~uiLogicFilePlay()
{
    ReleaseController();
}

template <class F> void uiLogicFilePlay::on_screens(F&& change)
{
    CMutexGuard hold(UIRenderMutex());
    change(m_host);
}

void uiLogicFilePlay::InitEventNames()
{
    m_event_names = {
        {4097, u"EVENT-start playing"}, {4098, u"EVENT-end playing"}, {4099, u"EVENT-playing"},
        {4100, u"EVENT-play"},          {4101, u"EVENT-pause"},       {4102, u"EVENT-stop"},
        {4103, u"EVENT-playcomplete"},  {4104, u"EVENT-graph failed"}, {4105, u"EVENT-duration"},
        {12289, u"EVENT-ratio"},
    };
}

LONG uiLogicFilePlay::send(LONG code, void* data)
{
    return m_control ? m_control->SendCommand(code, data, nullptr, 0) : 0;
}

void uiLogicFilePlay::CreateController()
{
    if (m_control) return;
    m_control = m_factory.create();
    if (!m_control) {
        plat::debug_log("play: no play controller could be made");
        return;
    }
    send(CMD_SET_DOWNLOADER, m_host.Downloader());
    send(CMD_INIT);
    send(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(this));
}

void uiLogicFilePlay::ReleaseController()
{
    if (!m_control) return;
    send(CMD_STOP);
    send(CMD_CLOSE);
    send(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(this));
    IBaseControl* control = m_control;
    m_control = nullptr;
    m_factory.release(control);
    on_screens([](PlayLogicHost& h) {
        h.SetSampleReader(nullptr);
        h.SetVideoLayerMode(1);
    });
}

void uiLogicFilePlay::Stop()
{
    send(CMD_STOP);
    send(CMD_CLOSE);
}

void uiLogicFilePlay::Pause()
{
    send(CMD_PAUSE);
    on_screens([](PlayLogicHost& h) { h.ShowPlayButton(); });
}

void uiLogicFilePlay::Play()
{
    if (!m_control || send(CMD_RUN) < 0)
        Replay();
    on_screens([](PlayLogicHost& h) { h.ShowPauseButton(); });
}

void uiLogicFilePlay::Replay()
{
    const std::u16string path = CurrentPath();
    if (is_local(path)) {
        PlayFile(path);
    } else if (!m_task.url.empty()) {   // nothing was ever played: nothing to reopen
        CreateController();
        if (!m_task.local_path.empty() && FileExists(plat::utf16_to_utf8(m_task.local_path)))
            on_screens([](PlayLogicHost& h) { h.SetDownloadBar(0, full_bar, full_bar); });
        PlayTask(m_task);
    }
    if (const std::optional<float> at = m_host.RememberedPosition())
        m_host.SeekTo(static_cast<int>(*at));
}

bool uiLogicFilePlay::StopPlay()
{
    send(CMD_STOP);
    on_screens([](PlayLogicHost& h) { h.ShowStopped(); });
    return false;
}

bool uiLogicFilePlay::Resume()
{
    send(CMD_RUN);
    on_screens([](PlayLogicHost& h) { h.ShowPauseButton(); });
    return false;
}

bool uiLogicFilePlay::Restart()
{
    return Resume();
}

void uiLogicFilePlay::Spare11()
{
    StopPlay();
    Play();
}

void uiLogicFilePlay::Spare12()
{
    StopPlay();
    Play();
}

void uiLogicFilePlay::SetVolume(int percent)
{
    LONG value = percent / 2 + 50;   // the engines' scale: 50 silent, 100 full
    send(CMD_SET_VOLUME, &value);
}

int uiLogicFilePlay::GetVolume()
{
    LONG value = 50;
    send(CMD_GET_VOLUME, &value);
    return (value - 50) * 2;
}

void uiLogicFilePlay::Seek(LONGLONG seconds)
{
    if (!(m_capability & 0x10)) return;
    LONG position = static_cast<LONG>(seconds);
    send(CMD_SEEK, &position);
}

std::u16string uiLogicFilePlay::CurrentPath() const
{
    std::scoped_lock hold(m_path_lock);
    return m_current_path;
}

void uiLogicFilePlay::set_current_path(const std::u16string& path)
{
    std::string url = plat::utf16_to_utf8(path, plat::Utf8Rules::SurrogatesKept);
    std::scoped_lock hold(m_path_lock);
    m_current_path = path;
    m_current_url = std::move(url);
}

bool uiLogicFilePlay::PlayFile(const std::u16string& path)
{
    debug_path(path);
    set_current_path(path);
    // After ReleaseController a local file still plays: make a controller again.
    CreateController();
    if (!m_control) return false;
    PlayTaskInfo task;
    task.url = plat::utf16_to_utf8(path, plat::Utf8Rules::SurrogatesKept);
    task.local_path = path;
    m_duration = 0;   // the last item's length is not this one's
    expect_start();
    // A play-now the controller dropped (-1) leaves nothing to start.
    if (send(CMD_PLAY_NOW, &task) != 1 || send(CMD_PLAY_LIST) != 1) return false;
    wait_for_start();
    show_started(title_of(path));
    return true;
}

bool uiLogicFilePlay::PlayTask(const PlayTaskInfo& task)
{
    if (!m_control) return false;
    PlayTaskInfo copy = task;
    m_duration = 0;
    expect_start();
    if (send(CMD_PLAY_NOW, &copy) != 1 || send(CMD_PLAY_LIST) != 1) return false;
    // An address starts when its bytes come, long after this; a downloaded copy at once.
    if (copy.is_local_file()) wait_for_start();
    show_started(plat::utf8_to_utf16(task.title));
    return true;
}

void uiLogicFilePlay::expect_start()
{
    std::scoped_lock hold(m_start_lock);
    m_started = false;
}

// Asked before the engine took the file, the kind would still be the last
// play's or none, and sound alone would show no visualisation.
void uiLogicFilePlay::wait_for_start()
{
    std::unique_lock hold(m_start_lock);
    m_start_told.wait_for(hold, start_wait, [&] { return m_started; });
}

// What every start shows: a fresh bar with the title, and video or the
// visualisation by the media's kind. The capabilities decide later seeks.
void uiLogicFilePlay::show_started(const std::u16string& title)
{
    LONG version[2] = {1, 0};
    send(CMD_GET_VERSION, version);
    m_capability = version[0];
    LONG kind = 0;
    send(CMD_GET_MEDIA_KIND, &kind);
    ISampleReader* reader = nullptr;
    if (is_audio_only(kind)) send(CMD_SAMPLE_READER, &reader);
    const LONGLONG duration = m_duration;
    on_screens([&](PlayLogicHost& h) {
        h.SetPosition(0);
        h.SetDuration(duration);
        h.ShowPauseButton();
        h.SetTitle(title);
        if (is_audio_only(kind)) {
            h.SetSampleReader(reader);
            h.SetVideoLayerMode(2);
        } else {
            h.SetVideoLayerMode(1);
        }
    });
    if (reader) reader->Release();   // the visualisation holds its own count
}

// Leaves a local file (whose play had the download manager set aside) and
// shows the window loading the address.
bool uiLogicFilePlay::begin_remote(const std::u16string& address)
{
    if (is_local(CurrentPath()) && m_control) {
        send(CMD_STOP);
        send(CMD_CLOSE);
        send(CMD_SET_DOWNLOADER, m_host.Downloader());
    }
    CreateController();
    if (!m_control) return false;
    set_current_path(address);
    debug_path(address);
    on_screens([](PlayLogicHost& h) { h.ShowLoadingState(); });
    return true;
}

bool uiLogicFilePlay::PlayVideoItem(const RSSData::tRSSItem& item)
{
    // An item without a media address has nothing to play.
    if (item.original_media_url.empty()) return false;
    if (!begin_remote(plat::utf8_to_utf16(item.original_media_url))) return false;
    PlayTaskInfo task;
    task.url = item.original_media_url;
    task.title = item.title;
    const std::string copy = playback::titled_file_path(m_host.DownloadFolder(), item.title, ".mp4");
    if (FileExists(copy)) {
        task.local_path = plat::utf8_to_utf16(copy);
        on_screens([](PlayLogicHost& h) { h.SetDownloadBar(0, full_bar, full_bar); });
    }
    if (item.status() == RSSData::ItemStatus::HighQuality)
        task.quality = 2;
    else if (m_host.HighDefinitionEnabled())
        task.quality = m_host.HighDefinitionSwitchOn() ? 2 : 1;
    else
        task.quality = 1;
    m_task = task;
    return PlayTask(m_task);
}

bool uiLogicFilePlay::OpenFile()
{
    static constexpr char16_t filters[] =
        u"MPEG files(.mpg,.mpeg,.mp4)\0*.mpg;*.mpeg;*.mp4\0"
        u"Music files(.mp3,.wma,.wav)\0*.mp3;*.wma;*.wav\0"
        u"Flash Files(.flv)\0*.flv\0"
        u"RealPlayer Files(.rm,.rmvb)\0*.rm;*.rmvb\0"
        u"QuickTime Files(.mov)\0*.mov\0"
        u"Microsoft Files(.avi,.asf,.wmv)\0*.avi;*.wmv;*.asf\0"
        u"MKV Files(.mkv)\0*.mkv\0"
        u"Divx Files(.divx)\0*.divx;*.xvid\0"
        u"All Files(*.*)\0*.*\0";
    WCHAR file[4096] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_host.MainWindow();
    dialog.lpstrFilter = filters;
    dialog.nFilterIndex = 9;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file / sizeof file[0];
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) return false;
    return PlayFile(std::u16string(file));
}

bool uiLogicFilePlay::OpenURL()
{
    const std::optional<std::u16string> entered = OpenURLDialog::Ask(m_host.MainWindow());
    if (!entered) return false;
    const std::size_t first = entered->find_first_not_of(u" \t");
    if (first == std::u16string::npos) return false;
    const std::size_t last = entered->find_last_not_of(u" \t");
    const std::u16string address = entered->substr(first, last - first + 1);
    if (is_local(address)) return PlayFile(address);
    if (!begin_remote(address)) return false;
    PlayTaskInfo task;
    task.url = plat::utf16_to_utf8(address, plat::Utf8Rules::SurrogatesKept);
    task.title = plat::utf16_to_utf8(title_of(address), plat::Utf8Rules::SurrogatesKept);
    task.quality = 1;
    m_task = task;
    return PlayTask(m_task);
}

LONG uiLogicFilePlay::OnEvent(void* sender, LONG code, LONG state, intptr_t value)
{
    return OnEvent(sender, code, static_cast<INT_PTR>(state), static_cast<INT_PTR>(value));
}

LONG uiLogicFilePlay::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    switch (code) {
    case EVT_START_PLAYING:
    case EVT_GRAPH_FAILED: {
        {
            std::scoped_lock hold(m_start_lock);
            m_started = true;
        }
        m_start_told.notify_all();
        break;
    }
    case EVT_POSITION:
        on_screens([&](PlayLogicHost& h) { h.SetVideoPosition(value); });
        break;
    case EVT_BUFFERING:
    case EVT_DATA_ARRIVED:
        on_screens([&](PlayLogicHost& h) { h.ShowLoadingMark(code == EVT_BUFFERING); });
        break;
    case EVT_PLAY_PROGRESS: {
        const auto* record = static_cast<const DownloadTaskInfo*>(sender);
        bool ours = false;
        if (record) {
            std::scoped_lock hold(m_path_lock);
            ours = record->key == m_current_url;
        }
        if (ours)
            on_screens([&](PlayLogicHost& h) { h.SetDownloadBar(value, extra, record->block.total_size); });
        break;
    }
    default:
        break;
    }
    return base_event(code, value, extra);
}

LONG uiLogicFilePlay::base_event(LONG code, INT_PTR value, INT_PTR extra)
{
    if (code > 36863) return 0;
    switch (code) {
    case EVT_VIDEO_SIZE: {
        const int width = static_cast<int16_t>(value & 0xFFFF);
        const int height = static_cast<int>(static_cast<LONG>(value) >> 16);
        if (height <= 0) break;   // no picture size: the old one stays
        m_host.SetVideoSize(width, height, static_cast<float>(width) / static_cast<float>(height));
        break;
    }
    case EVT_DURATION_2:
    case EVT_DURATION:
        m_duration = static_cast<LONG>(value);
        on_screens([&](PlayLogicHost& h) { h.SetDuration(static_cast<LONG>(value)); });
        break;
    case EVT_POSITION_2:
        if (extra != 0 && value != 0 && m_duration > 0) {
            LONGLONG position = 0;
            std::memcpy(&position, reinterpret_cast<const void*>(value), sizeof position);
            on_screens([&](PlayLogicHost& h) { h.SetPosition(position); });
        }
        break;
    case EVT_POSITION:
        if (m_duration > 0) on_screens([&](PlayLogicHost& h) { h.SetPosition(value); });
        break;
    case EVT_RUNNING: m_host.SetPlayState(1); break;
    case EVT_PAUSED: m_host.SetPlayState(2); break;
    case EVT_STOPPED: m_host.SetPlayState(3); break;
    case EVT_COMPLETE: m_host.OnPlayComplete(); break;
    case EVT_KEEP_AWAKE:
        PostMessageW(m_host.MainWindow(), WM_KEEP_AWAKE, static_cast<WPARAM>(value), static_cast<LPARAM>(extra));
        break;
    default:
        break;
    }
    if (code != EVT_POSITION) {
        const auto name = m_event_names.find(code);
        plat::debug_log(name == m_event_names.end() ? std::string() : plat::utf16_to_utf8(name->second));
    }
    return 0;
}

}
