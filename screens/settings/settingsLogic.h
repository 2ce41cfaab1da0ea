#pragma once
// What the settings window asks of the controller, named after the
// controller's calls. The controller implements it; tests give a fake. Every
// call may come from the UI thread (Apply, Clean) or the logic thread
// (BrowseFolder's caller), so none waits for the logic thread.

class CRSSUpdater;
class IOstrel;
class IPrefechManager;

namespace UI {

class settingsLogic {
public:
    virtual ~settingsLogic() = default;
    // Each may be null: what uses it is then skipped.
    virtual IOstrel* GetDownloader() const = 0;
    virtual IPrefechManager* GetPrefetchManager() const = 0;
    virtual CRSSUpdater* GetUpdater() const = 0;
    // A UI command, posted as logic command 0 (39 and 40 come back to BrowseFolder).
    virtual bool PostUICommand(int id) = 0;
    // The quality filter of the item list keeps only high-quality items while set.
    virtual void SetHighQuality(bool on) = 0;
    // Re-applies the quality filter to the rows of the feed list; the count of rows.
    virtual int RefreshItemQualityMarks() = 0;
};

}
