#pragma once
// The self update: asks the update server for the current version, downloads
// the installer into a folder of this user's own, verifies its signature
// against "public.key" in the program folder and starts it from the file it
// verified. The dialogs around it belong to the start-up.

#include "core/update/CUpdateProgress.h"
#include "core/update/UpdateReply.h"

#include <cstdint>
#include <memory>
#include <string>

// The largest installer downloaded; a longer one fails the download.
inline constexpr std::uint64_t max_installer_bytes = 512ull * 1024 * 1024;

// Where the update server is and what this program is; the start-up passes the
// built-in values, tests a loopback server, their own folders and limits.
struct UpdateSetup {
    std::string host = "update.corvalen.invalid";
    std::uint16_t port = 80;
    std::string current_version;   // the program's product version
    std::string download_folder;   // empty: "Update" in plat::strimo_data_folder()
    std::string program_folder;    // empty: plat::program_folder()
    std::uint64_t installer_limit = max_installer_bytes;
};

class CVersionUpdate {
public:
    static constexpr const char* InstallerName = "Install_Strimo.exe";

    explicit CVersionUpdate(UpdateSetup setup);
    ~CVersionUpdate();
    CVersionUpdate(const CVersionUpdate&) = delete;
    CVersionUpdate& operator=(const CVersionUpdate&) = delete;

    // Makes the download folder (only this user may write it), builds the
    // installer path there and removes a leftover installer.
    void Init();
    // True when the server answered and names a version higher than ours
    // (and the installer has somewhere to go).
    bool Check();
    std::u16string GetNewVersion() const;
    // False when Init found no folder to download into.
    bool StartDownload();
    // -1 without a download.
    LONG GetPercent() const;
    // E_FAIL without a download.
    HRESULT GetResult() const;
    // Once the whole installer is here: verify it and start it, from the
    // very file that verified, with the arguments (its path, "/SILENT").
    // False, with the installer deleted, when it is not complete, not
    // verified or cannot be started.
    bool Finish();
    // Cancels a running download and deletes the installer.
    void Cleanup();

    const std::string& InstallerPath() const { return m_installer_path; }

private:
    bool QueryServer();
    bool verify_and_start();

    UpdateSetup m_setup;
    bool m_skip = false;
    std::string m_installer_url;
    std::string m_installer_path;
    std::string m_new_version;
    UpdateInfo m_info;
    std::unique_ptr<CUpdateProgress> m_progress;   // null when no download exists
};
