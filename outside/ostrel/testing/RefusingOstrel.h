#pragma once
// A download manager double that accepts Init and refuses every task; tests
// derive from it and override only the calls they watch.

#include "outside/ostrel/IOstrel.h"

namespace ostrel_test {

class RefusingOstrel : public IOstrel {
public:
    BOOL Init(const char*, LONG) override { return TRUE; }
    void SetMultiSource(BOOL) override {}
    void SetOnline(BOOL) override {}
    LONG GetActiveCount() override { return 0; }
    void AddListener(IBaseEventHandler*) override {}
    void RemoveListener(IBaseEventHandler*) override {}
    LONG AddTask(const DownloadTaskInfo*, LONG) override { return OSTREL_FAILURE; }
    LONG RemoveTask(const DownloadTaskInfo*, const char*) override { return OSTREL_FAILURE; }
    LONG StopTransfer(const DownloadTaskInfo*, LONG) override { return OSTREL_FAILURE; }
    LONG MoveTransfer(const DownloadTaskInfo*, LONG, LONGLONG) override { return OSTREL_FAILURE; }
    IOstrelItemStore* GetItemStore() override { return nullptr; }
    LONG Start(LONG, const char*, LONG) override { return OSTREL_FAILURE; }
    LONG Pause(const char*) override { return OSTREL_FAILURE; }
    LONG Resume(const char*) override { return OSTREL_FAILURE; }
};

}
