#include "CITunesDBMgr.h"

#include "ISyncEventListener.h"
#include "outside/itunes/ITunesInterfaces.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/devices/Drives.h"

#include <chrono>

namespace {

using plat::ComPtr;

void collapse(std::string& path, const std::string& doubled)
{
    for (std::size_t at = path.find(doubled); at != std::string::npos; at = path.find(doubled, at))
        path.erase(at, 1);
}

// The path as the library wants it: no doubled separators.
std::string cleaned(std::string path)
{
    collapse(path, "\\\\");
    collapse(path, "//");
    return path;
}

bool file_exists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void wait_until_done(IiTunesOperation* operation)
{
    BOOL busy = TRUE;
    while (operation != nullptr && SUCCEEDED(operation->get_InProgress(&busy)) && busy)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool already_there(HRESULT result)
{
    return result == ITUNES_E_ALREADY_ON_DEVICE || result == ITUNES_E_ALREADY_IN_PLAYLIST;
}

// The playlists of the first iPod among the library's sources; null when none is connected.
ComPtr<IiTunesPlaylists> player_playlists(IiTunes& application)
{
    ComPtr<IiTunesSources> sources;
    long count = 0;
    if (FAILED(application.get_Sources(sources.put())) || FAILED(sources->get_Count(&count))) return {};
    for (long i = 1; i <= count; ++i) {
        ComPtr<IiTunesSource> source;
        long kind = 0;
        if (FAILED(sources->get_Item(i, source.put())) || FAILED(source->get_Kind(&kind))) continue;
        if (kind != ITSourceKindIPod) continue;
        ComPtr<IiTunesPlaylists> playlists;
        if (FAILED(source->get_Playlists(playlists.put()))) return {};
        return playlists;
    }
    return {};
}

}

CITunesDBMgr::~CITunesDBMgr()
{
    Wait();
}

void CITunesDBMgr::Wait()
{
    if (m_worker.joinable()) m_worker.join();
}

void CITunesDBMgr::AddListener(ISyncEventListener* listener)
{
    if (listener != nullptr) m_listeners.push_back(listener);
}

HRESULT CITunesDBMgr::Sync(const std::vector<std::string>& files, bool threaded)
{
    // The page syncs one file after the other, each once the last one ended.
    Wait();
    if (!threaded) return worker(files) ? S_OK : E_FAIL;
    m_worker = std::thread([this, files] {
        if (FAILED(CoInitialize(nullptr))) {
            set_status(SyncFailed);
            return;
        }
        worker(files);
        CoUninitialize();
    });
    return S_OK;
}

void CITunesDBMgr::set_status(DWORD status)
{
    m_status = status;
    for (ISyncEventListener* listener : m_listeners) listener->OnSyncStatus(u"", status);
}

bool CITunesDBMgr::worker(const std::vector<std::string>& files)
{
    set_status(SyncStarted);
    ComPtr<IiTunes> application;
    const DWORD context = CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER;
    if (files.empty() || FAILED(CoCreateInstance(CLSID_iTunesApp, nullptr, context, IiTunes::iid, application.put_void()))) {
        set_status(SyncFailed);
        return false;
    }
    const ComPtr<IiTunesPlaylists> player = player_playlists(*application.get());
    return copy_files(*application.get(), player.get(), files);
}

bool CITunesDBMgr::copy_files(IiTunes& application, IiTunesPlaylists* player, const std::vector<std::string>& files)
{
    ComPtr<IiTunesPlaylist> library;
    if (FAILED(application.get_LibraryPlaylist(library.put()))) {
        set_status(SyncFailed);
        return false;
    }
    set_status(SyncProcessing);
    long playlist_count = 0;
    if (player != nullptr && FAILED(player->get_Count(&playlist_count))) playlist_count = 0;
    HRESULT last = E_FAIL;   // of the last add to the player
    for (std::size_t n = 0; n < files.size(); ++n) {
        m_progress = 0;
        const std::string path = cleaned(files[n]);
        if (file_exists(path)) {
            const std::u16string wide = plat::utf8_to_utf16(path);
            ComPtr<IiTunesOperation> operation;
            if (SUCCEEDED(library->AddFile(wide.c_str(), operation.put()))) wait_until_done(operation.get());
            for (long i = 1; i <= playlist_count; ++i) {
                ComPtr<IiTunesPlaylist> item;
                if (FAILED(player->get_Item(i, item.put()))) continue;
                const ComPtr<IiTunesUserPlaylist> playlist = item.as<IiTunesUserPlaylist>();
                if (!playlist) continue;
                if (m_cancel.exchange(false)) {
                    m_progress = 0;
                    set_status(SyncCancelled);
                    return false;
                }
                operation.reset();
                last = playlist->AddFile(wide.c_str(), operation.put());
                if (!already_there(last)) break;
                set_status(SyncAlreadyThere);
            }
            wait_until_done(operation.get());
        }
        m_progress = static_cast<DWORD>(100 * (n + 1) / files.size());
    }
    // A file that was there already stays told as such, not as a failure.
    if (already_there(last)) return false;
    const bool done = SUCCEEDED(last) && m_progress == 100;
    set_status(done ? SyncFinished : SyncFailed);
    return done;
}
