#include "core/update/CUpdateProgress.h"

#include "components/common/libutil/ByteBuffer.h"
#include "core/http/ConnectionManager.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/Files.h"

#include <curl/curl.h>

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

void CUpdateProgress::download() noexcept
{
    LibUtil::ByteBuffer installer;
    LibUtil::RequestSettings settings;
    settings.url = m_url;
    settings.reply = &installer;
    settings.timeout = download_timeout_seconds;
    LibUtil::HttpConnection* connection = LibUtil::CURLConnectionManager::Instance().CreateConnection(settings);
    if (!connection) {
        plat::debug_log("update: cannot set up the installer download");
        m_result = INET_E_DOWNLOAD_FAILURE;
        return;
    }
    connection->SetObserver(this);
    const bool received = connection->Perform();
    const int code = connection->LastResult();
    connection->Release();
    if (!received) {
        plat::debug_log("update: installer download failed, curl code " + std::to_string(code));
        m_result = code == CURLE_ABORTED_BY_CALLBACK ? E_ABORT : INET_E_DOWNLOAD_FAILURE;
        return;
    }
    if (const int error = plat::write_file_atomic(m_target, installer.View())) {
        plat::debug_log("update: cannot write the installer, errno " + std::to_string(error));
        m_result = INET_E_DOWNLOAD_FAILURE;
        return;
    }
    m_percent = 100;
    m_result = S_OK;
}
