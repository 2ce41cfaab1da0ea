#pragma once
// The music library's automation objects as the device sync drives them: the
// application, its sources (the library, each connected player), their
// playlists, files added to a playlist, and the operation an add returns.
// The application's class and interface and the user-playlist interface keep
// the library's own ids; the others are ours.

#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_iTunesApp = plat::make_guid("{DC0C2640-1415-4644-875C-6F4D769839BA}");

// The file is on the device already.
inline constexpr HRESULT ITUNES_E_ALREADY_ON_DEVICE = static_cast<HRESULT>(0xA0040203);
inline constexpr HRESULT ITUNES_E_ALREADY_IN_PLAYLIST = static_cast<HRESULT>(0xA0040206);

enum iTunesSourceKind : long { ITSourceKindLibrary = 1, ITSourceKindIPod = 2 };

struct IiTunesOperation : IUnknown {
    static constexpr IID iid = plat::make_guid("{5901C9EF-A648-4585-A43C-008169DB8806}");
    virtual HRESULT get_InProgress(BOOL* in_progress) = 0;

protected:
    ~IiTunesOperation() = default;
};

// A playlist; the library's takes every file, a user playlist also answers IiTunesUserPlaylist.
struct IiTunesPlaylist : IUnknown {
    static constexpr IID iid = plat::make_guid("{A3266AC3-9889-438F-BBC8-9ED73A2B9D59}");
    virtual HRESULT AddFile(LPCWSTR path, IiTunesOperation** operation) = 0;

protected:
    ~IiTunesPlaylist() = default;
};

struct IiTunesUserPlaylist : IiTunesPlaylist {
    using base = IiTunesPlaylist;
    static constexpr IID iid = plat::make_guid("{53AE1704-491C-4289-94A0-958815675A3D}");

protected:
    ~IiTunesUserPlaylist() = default;
};

struct IiTunesPlaylists : IUnknown {
    static constexpr IID iid = plat::make_guid("{8B1F793E-A4BC-43EC-B89D-DFB5FE5AEA20}");
    virtual HRESULT get_Count(long* count) = 0;
    virtual HRESULT get_Item(long index, IiTunesPlaylist** playlist) = 0;   // from 1

protected:
    ~IiTunesPlaylists() = default;
};

struct IiTunesSource : IUnknown {
    static constexpr IID iid = plat::make_guid("{903EF4EF-4792-4CE6-B04B-572359C0420C}");
    virtual HRESULT get_Kind(long* kind) = 0;
    virtual HRESULT get_Playlists(IiTunesPlaylists** playlists) = 0;

protected:
    ~IiTunesSource() = default;
};

struct IiTunesSources : IUnknown {
    static constexpr IID iid = plat::make_guid("{638D1255-6A8E-42DC-92CA-448E0493D51C}");
    virtual HRESULT get_Count(long* count) = 0;
    virtual HRESULT get_Item(long index, IiTunesSource** source) = 0;   // from 1

protected:
    ~IiTunesSources() = default;
};

struct IiTunes : IUnknown {
    static constexpr IID iid = plat::make_guid("{9DD6680B-3EDC-40DB-A771-E6FE4832E34A}");
    virtual HRESULT get_Sources(IiTunesSources** sources) = 0;
    virtual HRESULT get_LibraryPlaylist(IiTunesPlaylist** library) = 0;

protected:
    ~IiTunes() = default;
};
