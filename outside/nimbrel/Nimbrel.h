#pragma once
// The peer-to-peer download core as the downloader uses it: a download core
// (IDownloadCore) whose items are segment slaves, its settings interface
// (id 300), and the two interfaces its items offer beside the slave ones.

#include "downloader/zephrol/Interfaces.h"

#include <string>

inline constexpr int ID_IP2PSwitch = 102;
inline constexpr int ID_IP2PItemInit = 407;

// The settings record the core applies; built by the downloader from the user's settings.
struct tP2PSettings {
    DWORD version;            // 1
    WORD value1;
    DWORD reserved1;
    std::string text;
    DWORD value2;
    DWORD reserved2;
    BYTE flags[2];
    DWORD mode;               // 2
    DWORD value3;
    DWORD value4;
    std::u16string log_folder;
    BYTE logging;             // 1
};

// A content that the core is told about: its 128-bit key first.
struct tP2PContent {
    tContentKey key;
};

// The core's settings (id 300).
class IP2PSettings : public IBaseInterface {
public:
    virtual BaseResult ApplySettings(const tP2PSettings& settings) noexcept = 0;
    // The content the core serves to others, and whether it serves it.
    virtual BaseResult SetSharedContent(const tP2PContent& content, int on) noexcept = 0;
    virtual BaseResult AnnounceContent(const tP2PContent& content) noexcept = 0;
    virtual BaseResult EnableSharing(int on) noexcept = 0;

protected:
    ~IP2PSettings() = default;
};

// An item's set-up (id 407).
class IP2PItemInit : public IBaseInterface {
public:
    virtual BaseResult Init() noexcept = 0;
    virtual BaseResult SetParam(BYTE option, IDataCacheItem* cache_item, const tContentKey& key) noexcept = 0;
    virtual BaseResult Uninit() noexcept = 0;

protected:
    ~IP2PItemInit() = default;
};

// An item's switch (id 102).
class IP2PSwitch : public IBaseInterface {
public:
    virtual BaseResult Switch(int on) noexcept = 0;

protected:
    ~IP2PSwitch() = default;
};

#define NIMBREL_EXPORT __attribute__((visibility("default")))

extern "C" {
// The core, its use counted for `user`; null when it cannot be made.
NIMBREL_EXPORT IDownloadCore* CreateP2PDownloader(const char* user);
// Destroys the core and every item it made. Null is ignored.
NIMBREL_EXPORT void DeleteP2PDownloader(IDownloadCore* core);
}
