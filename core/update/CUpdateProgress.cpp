#include "core/update/CUpdateProgress.h"

#include "core/http/ConnectionManager.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/UniqueFd.h"

#include <curl/curl.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdio>

namespace {

// The user can cancel; a stalled server must not hold the thread for ever.
constexpr std::int32_t download_timeout_seconds = 30 * 60;

}

CUpdateProgress::~CUpdateProgress()
{
    Cancel();
}

void CUpdateProgress::SetTarget(const std::string& path)
{
    if (!m_target.empty())
        std::remove(m_target.c_str());
    m_target = path;
}

void CUpdateProgress::Start()
{
    Cancel();
    m_cancel = false;
    m_percent = 0;
    m_result = E_FAIL;
    m_thread = std::thread([this] { download(); });
}

void CUpdateProgress::Cancel()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool CUpdateProgress::OnProgress(std::uint64_t received, std::uint64_t total) noexcept
{
    if (m_cancel)
        return false;
    // 100 is kept for the moment the file is complete.
    if (total > 0 && received < total)
        m_percent = static_cast<LONG>(received * 100 / total);
    return true;
}

// The file is made anew (never an existing one, never through a link) and
// removed again unless the whole installer is in it.
void CUpdateProgress::download() noexcept
{
    std::remove(m_target.c_str());
    plat::UniqueFd file(::open(m_target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) {
        plat::debug_log("update: cannot create the installer file, errno " + std::to_string(errno));
        m_result = INET_E_DOWNLOAD_FAILURE;
        return;
    }
    HRESULT result = fetch_into(file.get());
    if (SUCCEEDED(result) && file.close() != 0) {
        plat::debug_log("update: cannot write the installer");
        result = INET_E_DOWNLOAD_FAILURE;
    }
    if (FAILED(result)) {
        std::remove(m_target.c_str());
        m_result = result;
        return;
    }
    m_percent = 100;
    m_result = S_OK;
}

HRESULT CUpdateProgress::fetch_into(int file) noexcept
{
    LibUtil::RequestSettings settings;
    settings.url = m_url;
    settings.reply_file = file;
    settings.max_reply = m_limit;
    settings.timeout = download_timeout_seconds;
    LibUtil::HttpConnection* connection = LibUtil::CURLConnectionManager::Instance().CreateConnection(settings);
    if (!connection) {
        plat::debug_log("update: cannot set up the installer download");
        return INET_E_DOWNLOAD_FAILURE;
    }
    connection->SetObserver(this);
    const bool received = connection->Perform();
    const int code = connection->LastResult();
    connection->Release();
    if (received)
        return S_OK;
    plat::debug_log("update: installer download failed, curl code " + std::to_string(code));
    return code == CURLE_ABORTED_BY_CALLBACK ? E_ABORT : INET_E_DOWNLOAD_FAILURE;
}
