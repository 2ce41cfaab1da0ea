// ostrel_demo FOLDER [URL [TARGET]]
// Resumes the tasks kept in FOLDER, adds a download of URL (into TARGET, or the
// cache folder), prints the download manager's events and ends when no task is
// under way. Exit status 0 when nothing failed.

#include "outside/ostrel/IOstrel.h"
#include "platform/base/Utf.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class Printer : public IBaseEventHandler {
public:
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override
    {
        const auto* task = static_cast<const DownloadTaskInfo*>(sender);
        if (code == EVT_DOWNLOAD_STATE && value == DOWNLOAD_FAILED)
            m_failed = true;
        if (code == EVT_DOWNLOAD_STATE || code == EVT_DOWNLOAD_PROGRESS)
            std::printf("%s %ld %ld %s\n", code == EVT_DOWNLOAD_STATE ? "state" : "progress", static_cast<long>(value),
                        static_cast<long>(extra), plat::utf16_to_utf8(task->local_path).c_str());
        std::fflush(stdout);
        return 0;
    }
    bool failed() const { return m_failed; }

private:
    std::atomic<bool> m_failed{false};
};

}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: ostrel_demo FOLDER [URL [TARGET]]\n");
        return 2;
    }
    IOstrel* ostrel = CreateOstrel();
    if (!ostrel || !ostrel->Init(argv[1], 0)) {
        std::fprintf(stderr, "ostrel_demo: cannot use %s\n", argv[1]);
        ReleaseOstrel(ostrel);
        return 1;
    }
    Printer printer;
    ostrel->AddListener(&printer);
    if (argc >= 3) {
        DownloadTaskInfo task;
        task.key = argv[2];
        task.mode = 1;
        task.quality = 1;
        if (argc == 4)
            task.local_path = plat::utf8_to_utf16(argv[3]);
        if (!ostrel->AddTask(&task, OSTREL_KIND_USER_VIDEO))
            std::fprintf(stderr, "ostrel_demo: task refused\n");
    }
    while (ostrel->GetActiveCount() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ostrel->RemoveListener(&printer);
    ReleaseOstrel(ostrel);
    return printer.failed() ? 1 : 0;
}
