#pragma once
// The library stand-in's application object: the library source, whose
// playlist takes every file without doing anything (no library exists
// here), and a player source for each removable drive holding a player.

#include "ITunesInterfaces.h"
#include "platform/com/ComObject.h"

namespace itunes {

class ITunesApplication final : public plat::ComObject<IiTunes> {
public:
    HRESULT get_Sources(IiTunesSources** sources) noexcept override;
    HRESULT get_LibraryPlaylist(IiTunesPlaylist** library) noexcept override;
};

}
