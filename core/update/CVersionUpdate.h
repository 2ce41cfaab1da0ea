#pragma once
// The self update: asks the update server for the current version, downloads
// the installer into the temporary folder, verifies its signature against
// "public.key" in the program folder and starts it. The dialogs around it
// belong to the start-up.

#include "core/update/CUpdateProgress.h"
#include "core/update/UpdateReply.h"

#include <cstdint>
#include <memory>
#include <string>

// Where the update server is and what this program is; the start-up passes the
// built-in values, tests a loopback server and their own folders.
struct UpdateSetup {
    std::string host = "update.corvalen.invalid";
    std::uint16_t port = 80;
    std::string current_version;   // the program's product version
    std::string temp_folder;       // empty: plat::temp_folder()
    std::string program_folder;    // empty: plat::program_folder()
};

class CVersionUpdate {
public:
    static constexpr const char* InstallerName = "Install_Strimo.exe";

    explicit CVersionUpdate(UpdateSetup setup);
    ~CVersionUpdate();
    CVersionUpdate(const CVersionUpdate&) = delete;
    CVersionUpdate& operator=(const CVersionUpdate&) = delete;

    // Builds the installer path and removes a leftover installer.
    void Init();
    // True when the server answered and names another version than ours.
    bool Check();
    std::u16string GetNewVersion() const;
    bool StartDownload();
    // -1 without a download.
    LONG GetPercent() const;
    // E_FAIL without a download.
    HRESULT GetResult() const;
    // Once the whole installer is here: verify it and start it with the
    // arguments (its path, "/SILENT"). False, with the installer deleted,
    // when it is not complete, not verified or cannot be started.
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
