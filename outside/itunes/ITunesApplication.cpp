#include "ITunesApplication.h"

#include "DeviceDatabase.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/devices/Drives.h"
#include "platform/devices/VolumeMonitor.h"

#include <new>
#include <string>
#include <vector>

namespace itunes {

namespace {

template <class T>
HRESULT hand_out(plat::ComPtr<T> object, T** out)
{
    if (out == nullptr) return E_POINTER;
    *out = object.detach();
    return *out != nullptr ? S_OK : E_FAIL;
}

// Every add finishes before it returns.
class FinishedOperation final : public plat::ComObject<IiTunesOperation> {
public:
    HRESULT get_InProgress(BOOL* in_progress) noexcept override
    {
        if (in_progress == nullptr) return E_POINTER;
        *in_progress = FALSE;
        return S_OK;
    }
};

HRESULT finished(IiTunesOperation** operation)
{
    if (operation == nullptr) return S_OK;
    *operation = new (std::nothrow) FinishedOperation();
    return *operation != nullptr ? S_OK : E_OUTOFMEMORY;
}

class LibraryPlaylist final : public plat::ComObject<IiTunesPlaylist> {
public:
    HRESULT AddFile(LPCWSTR path, IiTunesOperation** operation) noexcept override
    {
        if (path == nullptr) return E_POINTER;
        return finished(operation);
    }
};

// A playlist of a player. The podcasts playlist takes no videos; every other
// one, the master included, is a user playlist, so a new player takes files.
class DevicePlaylistObject final : public plat::ComObject<IiTunesUserPlaylist> {
public:
    DevicePlaylistObject(std::string mountpoint, const DevicePlaylist& playlist)
        : m_mountpoint(std::move(mountpoint)), m_playlist(playlist)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (m_playlist.podcasts && iid == IiTunesUserPlaylist::iid) {
            if (object != nullptr) *object = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(iid, object);
    }

    HRESULT AddFile(LPCWSTR path, IiTunesOperation** operation) noexcept override
    {
        if (path == nullptr) return E_POINTER;
        if (m_playlist.podcasts) return E_FAIL;
        try {
            const std::string given = plat::utf16_to_utf8({path, plat::wide_length(path)});
            const std::optional<std::string> local = given.starts_with('/') ? given : plat::volume_local_path(given);
            const HRESULT result = local ? add_video(m_mountpoint, m_playlist.id, *local) : E_FAIL;
            if (FAILED(result)) return result;
        } catch (...) {
            return E_FAIL;
        }
        return finished(operation);
    }

private:
    std::string m_mountpoint;
    DevicePlaylist m_playlist;
};

template <class Collection, class Item>
class List final : public plat::ComObject<Collection> {
public:
    explicit List(std::vector<plat::ComPtr<Item>> items) : m_items(std::move(items)) {}

    HRESULT get_Count(long* count) noexcept override
    {
        if (count == nullptr) return E_POINTER;
        *count = static_cast<long>(m_items.size());
        return S_OK;
    }
    HRESULT get_Item(long index, Item** item) noexcept override
    {
        if (index < 1 || index > static_cast<long>(m_items.size())) return E_INVALIDARG;
        return hand_out(m_items[static_cast<std::size_t>(index - 1)], item);
    }

private:
    std::vector<plat::ComPtr<Item>> m_items;
};
using PlaylistList = List<IiTunesPlaylists, IiTunesPlaylist>;
using SourceList = List<IiTunesSources, IiTunesSource>;

// The library (no mount point) or a player mounted at a folder.
class Source final : public plat::ComObject<IiTunesSource> {
public:
    explicit Source(std::string mountpoint) : m_mountpoint(std::move(mountpoint)) {}

    HRESULT get_Kind(long* kind) noexcept override
    {
        if (kind == nullptr) return E_POINTER;
        *kind = m_mountpoint.empty() ? ITSourceKindLibrary : ITSourceKindIPod;
        return S_OK;
    }

    HRESULT get_Playlists(IiTunesPlaylists** playlists) noexcept override
    try {
        std::vector<plat::ComPtr<IiTunesPlaylist>> items;
        if (m_mountpoint.empty()) {
            items.push_back(plat::ComPtr<IiTunesPlaylist>::adopt(new LibraryPlaylist()));
        } else {
            for (const DevicePlaylist& p : device_playlists(m_mountpoint))
                items.push_back(plat::ComPtr<IiTunesPlaylist>::adopt(new DevicePlaylistObject(m_mountpoint, p)));
        }
        return hand_out(plat::ComPtr<IiTunesPlaylists>::adopt(new PlaylistList(std::move(items))), playlists);
    } catch (...) {
        return E_OUTOFMEMORY;
    }

private:
    std::string m_mountpoint;
};

bool is_folder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The mount folders of the removable drives that hold a player's database.
std::vector<std::string> connected_players()
{
    std::vector<std::string> players;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_REMOVABLE) continue;
        if (!is_folder(root + "iPod_Control") && !is_folder(root + "iTunes_Control")) continue;
        if (const std::optional<std::string> folder = plat::volume_local_path(root)) players.push_back(*folder);
    }
    return players;
}

}

HRESULT ITunesApplication::get_Sources(IiTunesSources** sources) noexcept
try {
    std::vector<plat::ComPtr<IiTunesSource>> items;
    items.push_back(plat::ComPtr<IiTunesSource>::adopt(new Source("")));
    for (const std::string& folder : connected_players())
        items.push_back(plat::ComPtr<IiTunesSource>::adopt(new Source(folder)));
    return hand_out(plat::ComPtr<IiTunesSources>::adopt(new SourceList(std::move(items))), sources);
} catch (...) {
    return E_OUTOFMEMORY;
}

HRESULT ITunesApplication::get_LibraryPlaylist(IiTunesPlaylist** library) noexcept
try {
    return hand_out(plat::ComPtr<IiTunesPlaylist>::adopt(new LibraryPlaylist()), library);
} catch (...) {
    return E_OUTOFMEMORY;
}

}
