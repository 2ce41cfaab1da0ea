#include "core/update/CVersionUpdate.h"

#include "components/common/libutil/ByteBuffer.h"
#include "core/http/CertHelper.h"
#include "core/http/ConnectionManager.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"
#include "platform/fs/UniqueFd.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t digest_block = 8192;

}

CVersionUpdate::CVersionUpdate(UpdateSetup setup) : m_setup(std::move(setup)) {}

CVersionUpdate::~CVersionUpdate() = default;

void CVersionUpdate::Init()
{
    const std::string folder = m_setup.temp_folder.empty() ? plat::temp_folder() : m_setup.temp_folder;
    m_installer_path = plat::join_path(folder, InstallerName);
    Cleanup();
}

bool CVersionUpdate::Check()
{
    if (m_skip) {
        Cleanup();
        return false;
    }
    return QueryServer() && m_setup.current_version != m_new_version;
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
    if (!m_progress)
        m_progress = std::make_unique<CUpdateProgress>();
    m_progress->Cancel();
    m_progress->SetTarget(m_installer_path);
    m_progress->SetURL(m_installer_url);
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
    // Only our own regular file is run: the temporary folder may be shared.
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
    if (::fchmod(file.get(), 0700) != 0)
        return false;
    // An argument vector, never a command line through a shell.
    std::string path = m_installer_path;
    std::string silent = "/SILENT";
    char* argv[] = {path.data(), silent.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
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
