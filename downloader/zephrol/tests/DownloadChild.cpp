// A download process for the crash tests: downloads a URL into the segment
// cache in a folder, through both libraries' exports, and exits 0 once the
// whole content is stored (1 on a failure). The test kills it half way.
// Usage: zephrol_download_child <cache folder> <url>

#include "components/common/murrel/Murrel.h"
#include "downloader/zephrol/ZephrolExports.h"
#include "downloader/zephrol/tests/DownloadOutcome.h"

#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const std::string folder = std::string(argv[1]) + "/";
    IMurrel* cache = CreateMurrel("child");
    if (cache == nullptr || cache->Initialize(1ull << 32, folder.c_str()) != RESULT_OK) return 2;
    tContentKey key;
    key.words[0] = 7;
    IDataCacheItem* item = cache->OpenItem(key, "child");
    IDownloadCore* core = CreateZephrol("child");
    ICorvaDownloadItem* download = nullptr;
    IVessikDownload* vessik = nullptr;
    if (item == nullptr || core == nullptr || core->CreateDownloadItem(&download, "child") != RESULT_OK ||
        download->QueryInterface(ID_IVessikDownload, reinterpret_cast<void**>(&vessik), "child") != RESULT_OK)
        return 2;
    tDownloadParam param{};
    param.http_enabled = 1;
    param.cache_item = item;
    param.max_http = 2;
    param.url = argv[2];
    vessik->Init(&param);
    DownloadOutcome outcome("child");
    download->SetEventHandler(&outcome, 0);
    download->Start();
    const bool complete = outcome.wait();
    core->DeleteDownloadItem(download);
    DeleteZephrol(core);
    item->Release("child");
    cache->Uninitialize();
    DeleteMurrel(cache, "child");
    return complete ? 0 : 1;
}
