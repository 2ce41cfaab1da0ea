#pragma once
// A music player's own database, read and written with libgpod.

#include "platform/base/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace itunes {

struct DevicePlaylist {
    std::uint64_t id = 0;
    std::string name;
    bool master = false;
    bool podcasts = false;
};

// The playlists of the player mounted at `mountpoint`, master first; empty
// when its database cannot be read.
std::vector<DevicePlaylist> device_playlists(const std::string& mountpoint);

// Copies the video file to the player as a movie track named after the file,
// lists it in the master playlist and in the playlist `playlist_id`, and
// writes the database. ITUNES_E_ALREADY_ON_DEVICE when a track of that name
// and size is there; E_FAIL when the file, the copy or the write fails (the
// database is then left as it was).
HRESULT add_video(const std::string& mountpoint, std::uint64_t playlist_id, const std::string& file);

// The title a file gets: its name after the last "/" up to its last ".".
std::string title_of(const std::string& file);

}
