#pragma once
// One row of the download pane, 199 x 58: the item's thumbnail, its title,
// and the percentage over the thumbnail. A finished (high-quality, 1280)
// item shows its title white and no percentage.

#include "components/common/feeddb/DBRecords.h"
#include "toolkit/genericlist/wtlistitem.h"

#include <string>

class CRSSDBMgr;

namespace RSSData {
struct tRSSItem;
}

namespace UI {

class wimage;
class wtext;

class wdownloadlistitem : public wtlistitem {
public:
    static constexpr int FinishedMark = 1280;
    static constexpr int FinishedState = 3;

    wdownloadlistitem();
    // A lent mark goes back to the list, which frees it.
    ~wdownloadlistitem() override;

    // Fills the row from the item of the download row's id; false, changing
    // nothing, when the database has no such item.
    bool LoadItem(const ItemDownloadRecord& row, CRSSDBMgr& db);
    // The same from an item already read (the caller reads it without the render lock).
    void LoadItem(const ItemDownloadRecord& row, RSSData::tRSSItem item);
    void SetQualityMark(int value);
    // A new state of the row's download (the download logic's update).
    void SetRow(const ItemDownloadRecord& row);
    // The row's mark (play or pause) shown on the selected row; may be null.
    void SetMark(widget* mark) { m_mark = mark; }
    widget* GetMark() const { return m_mark; }
    void SetSelected(bool selected) override;

    const ItemDownloadRecord& Row() const { return m_row; }
    wimage* Thumbnail() const { return m_thumbnail; }
    wtext* Title() const { return m_title; }
    wtext* Percent() const { return m_percent; }

protected:
    // The row's content: its picture, title and percentage.
    void SetContent(const std::string& picture, const std::u16string& title, int percent);
    // The item of the id; false when the database has none.
    static bool ReadItem(CRSSDBMgr& db, std::int64_t id, RSSData::tRSSItem& item);
    // The picture registered under the thumbnail file's path, loaded from the
    // file on first use; "black_image" when the file gives none.
    static std::string ThumbnailPicture(const std::string& file);

private:

    wimage* m_thumbnail;   // children: the row owns them
    wtext* m_title;
    wtext* m_percent;
    widget* m_mark{nullptr};   // the list's, lent while selected
    ItemDownloadRecord m_row;
};

}
