#include "DeviceDatabase.h"

#include "ITunesInterfaces.h"
#include "platform/base/DebugLog.h"

#include <gpod/itdb.h>
#include <memory>
#include <sys/stat.h>

namespace itunes {

namespace {

struct DatabaseFree {
    void operator()(Itdb_iTunesDB* db) const { itdb_free(db); }
};
using Database = std::unique_ptr<Itdb_iTunesDB, DatabaseFree>;

// Logs and frees a libgpod error.
void report(const char* what, GError* error)
{
    plat::debug_log(std::string("itunes: ") + what + ": " + (error != nullptr ? error->message : "unknown error"));
    if (error != nullptr) g_error_free(error);
}

Database open_database(const std::string& mountpoint)
{
    GError* error = nullptr;
    Database db(itdb_parse(mountpoint.c_str(), &error));
    if (!db) report("cannot read the player's database", error);
    return db;
}

bool holds_track(Itdb_iTunesDB* db, const std::string& title, gint64 size)
{
    for (GList* l = db->tracks; l != nullptr; l = l->next) {
        const auto* track = static_cast<const Itdb_Track*>(l->data);
        if (track->title != nullptr && title == track->title && track->size == size) return true;
    }
    return false;
}

Itdb_Playlist* find_playlist(Itdb_iTunesDB* db, std::uint64_t id)
{
    for (GList* l = db->playlists; l != nullptr; l = l->next) {
        auto* playlist = static_cast<Itdb_Playlist*>(l->data);
        if (playlist->id == id) return playlist;
    }
    return nullptr;
}

}

std::string title_of(const std::string& file)
{
    const std::size_t slash = file.find_last_of('/');
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::vector<DevicePlaylist> device_playlists(const std::string& mountpoint)
{
    std::vector<DevicePlaylist> playlists;
    const Database db = open_database(mountpoint);
    if (!db) return playlists;
    for (GList* l = db->playlists; l != nullptr; l = l->next) {
        auto* p = static_cast<Itdb_Playlist*>(l->data);
        DevicePlaylist playlist{p->id, p->name != nullptr ? p->name : "", itdb_playlist_is_mpl(p) != FALSE,
                                itdb_playlist_is_podcasts(p) != FALSE};
        if (playlist.master) playlists.insert(playlists.begin(), playlist);
        else playlists.push_back(playlist);
    }
    return playlists;
}

HRESULT add_video(const std::string& mountpoint, std::uint64_t playlist_id, const std::string& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return E_FAIL;
    const Database db = open_database(mountpoint);
    Itdb_Playlist* playlist = db ? find_playlist(db.get(), playlist_id) : nullptr;
    Itdb_Playlist* master = db ? itdb_playlist_mpl(db.get()) : nullptr;
    if (playlist == nullptr || master == nullptr) return E_FAIL;
    const std::string title = title_of(file);
    if (holds_track(db.get(), title, info.st_size)) return ITUNES_E_ALREADY_ON_DEVICE;

    Itdb_Track* track = itdb_track_new();
    track->title = g_strdup(title.c_str());
    track->mediatype = ITDB_MEDIATYPE_MOVIE;
    track->size = static_cast<guint32>(info.st_size);
    track->filetype = g_strdup("MPEG-4 video file");
    itdb_track_add(db.get(), track, -1);   // the database owns it from here
    GError* error = nullptr;
    if (!itdb_cp_track_to_ipod(track, file.c_str(), &error)) {
        report("cannot copy the file to the player", error);
        return E_FAIL;   // the database is not written: the player keeps what it had
    }
    itdb_playlist_add_track(master, track, -1);
    if (playlist != master) itdb_playlist_add_track(playlist, track, -1);
    if (!itdb_write(db.get(), &error)) {
        report("cannot write the player's database", error);
        return E_FAIL;
    }
    return S_OK;
}

}
