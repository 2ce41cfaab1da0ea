#include "core/update/CVersionUpdate.h"

#include "components/common/libutil/ByteBuffer.h"
#include "core/http/CertHelper.h"
#include "core/http/ConnectionManager.h"
#include "core/update/VersionNumber.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"
#include "platform/fs/Process.h"
#include "platform/fs/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t digest_block = 8192;

// The folder itself, not a link, owned by this user and writable by nobody
// else (made so when it is ours), so no other user can place or swap a file in it.
bool make_private_folder(const std::string& path)
{
    if (!plat::create_folder_tree(path))
        return false;
    plat::UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat about {};
    if (!folder.valid() || ::fstat(folder.get(), &about) != 0 || about.st_uid != ::geteuid())
        return false;
    return (about.st_mode & 077) == 0 || ::fchmod(folder.get(), 0700) == 0;
}

std::string default_download_folder()
{
    const std::optional<std::string> data = plat::strimo_data_folder();
    return data ? plat::join_path(*data, "Update") : std::string();
}

}

CVersionUpdate::CVersionUpdate(UpdateSetup setup) : m_setup(std::move(setup)) {}

CVersionUpdate::~CVersionUpdate() = default;

void CVersionUpdate::Init()
{
    const std::string folder = m_setup.download_folder.empty() ? default_download_folder() : m_setup.download_folder;
    m_installer_path.clear();
    if (!folder.empty() && make_private_folder(folder))
        m_installer_path = plat::join_path(folder, InstallerName);
    else
        plat::debug_log("update: no folder of this user's own to download into: " + folder);
    Cleanup();
}

bool CVersionUpdate::Check()
{
    if (m_skip) {
        Cleanup();
        return false;
    }
    return !m_installer_path.empty() && QueryServer() && is_newer_version(m_new_version, m_setup.current_version);
}

bool CVersionUpdate::QueryServer()
{
    LibUtil::ByteBuffer reply;
    if (!LibUtil::HttpRequest("http://" + m_setup.host + "/appupdate.php", m_setup.port, reply, nullptr, false))
        return false;
    UpdateInfo info;
    if (!ParseUpdateReply(reply.View(), info)) {
        plat::debug_log("update: the server's answer is not an update record");
        return false;
    }
    m_info = std::move(info);
    m_new_version = m_info.v;
    m_installer_url = !m_info.u.empty() ? m_info.u
                                         : "http://" + m_setup.host + ":" + std::to_string(m_setup.port) +
                                               "/file/Install_Strimo.exe";
    return true;
}

std::u16string CVersionUpdate::GetNewVersion() const
{
    return plat::utf8_to_utf16(m_new_version);
}

bool CVersionUpdate::StartDownload()
{
    if (m_installer_path.empty())
        return false;
    if (!m_progress)
        m_progress = std::make_unique<CUpdateProgress>();
    m_progress->Cancel();
    m_progress->SetTarget(m_installer_path);
    m_progress->SetURL(m_installer_url);
    m_progress->SetSizeLimit(m_setup.installer_limit);
    m_progress->Start();
    return true;
}

LONG CVersionUpdate::GetPercent() const
{
    return m_progress ? m_progress->Percent() : -1;
}

HRESULT CVersionUpdate::GetResult() const
{
    return m_progress ? m_progress->Result() : E_FAIL;
}

bool CVersionUpdate::Finish()
{
    // The file is whole only once the download has succeeded.
    if (GetPercent() != 100 || GetResult() != S_OK)
        return false;
    const bool started = verify_and_start();
    if (started)
        m_progress.reset();
    else
        std::remove(m_installer_path.c_str());
    return started;
}

bool CVersionUpdate::verify_and_start()
{
    const std::string folder = m_setup.program_folder.empty() ? plat::program_folder() : m_setup.program_folder;
    auto checker = LibUtil::CertHelperOpenSSLImpl::Create();
    if (!checker->LoadPublicKey(plat::join_path(folder, "public.key"))) {
        plat::debug_log("update: no usable public.key");
        return false;
    }
    plat::UniqueFd file(::open(m_installer_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat about {};
    // Only our own regular file is run.
    if (!file.valid() || ::fstat(file.get(), &about) != 0 || !S_ISREG(about.st_mode) || about.st_uid != ::geteuid())
        return false;
    std::vector<BYTE> block(digest_block);
    for (;;) {
        const ssize_t got = ::read(file.get(), block.data(), block.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        checker->AddData(LibUtil::ByteBuffer(block.data(), static_cast<std::size_t>(got),
                                             LibUtil::ByteBuffer::Storage::Borrow));
    }
    if (!checker->Verify(LibUtil::ByteBuffer(m_info.s), true)) {
        plat::debug_log("update: the installer's signature does not verify");
        return false;
    }
    // Started from this descriptor: the bytes that verified are the bytes that run.
    if (::fchmod(file.get(), 0700) != 0 || !plat::start_detached_from_descriptor(file.get(), {m_installer_path, "/SILENT"})) {
        plat::debug_log("update: cannot start the installer");
        return false;
    }
    return true;
}

void CVersionUpdate::Cleanup()
{
    m_progress.reset();
    if (!m_installer_path.empty())
        std::remove(m_installer_path.c_str());
}
