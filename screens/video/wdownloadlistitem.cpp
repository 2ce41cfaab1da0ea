#include "screens/video/wdownloadlistitem.h"

#include "screens/video/wdownloadlist.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"

#include "platform/base/Utf.h"

#include <list>

namespace UI {

namespace {

constexpr fcolor mark_blue{0, 0, 255};
constexpr fcolor percent_orange{205, 111, 83};
constexpr fcolor title_white{255, 255, 255};
constexpr fcolor title_grey{188, 188, 188};

}  // namespace

std::string wdownloadlistitem::ThumbnailPicture(const std::string& file)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    if (!manager || file.empty()) return "black_image";
    if (IsUsablePicture(manager->GetPicture(file))) return file;
    if (manager->LoadPicture(AnsiToWide(file), file, 0) && IsUsablePicture(manager->GetPicture(file))) return file;
    return "black_image";
}

bool wdownloadlistitem::ReadItem(CRSSDBMgr& db, std::int64_t id, RSSData::tRSSItem& item)
{
    std::list<RSSData::tRSSItem> items;
    if (db.GetItems(id, &items) != 0 || items.empty()) return false;
    item = std::move(items.front());
    return true;
}

wdownloadlistitem::wdownloadlistitem()
    : wtlistitem("wdownloadlistitem"), m_thumbnail(new wimage("wimage-wdownloadlistitem")),
      m_title(new wtext("wtext-wdownloadlistitem-title")), m_percent(new wtext("wtext-wdownloadlistitem-percent"))
{
    SetSize(199, 58);
    m_thumbnail->SetPicture("black_image");
    m_thumbnail->SetPos(5, 5);
    m_thumbnail->SetSize(62, 48);
    AddChild(m_thumbnail);
    m_title->SetPos(72, 5);
    m_title->SetSize(121, 30);
    m_title->SetFont("font_a12");
    m_title->SetColor({156, 156, 156});
    m_title->SetEllipsis(true);
    m_title->SetMouseTransparent(true);
    AddChild(m_title);
    m_percent->SetPos(5, 5);
    m_percent->SetSize(63, 48);
    m_percent->SetFont("font_a12b2");
    m_percent->SetTextFormat(5);
    m_percent->SetZOrder(1000);
    m_percent->SetMouseTransparent(true);
    AddChild(m_percent);
}

wdownloadlistitem::~wdownloadlistitem()
{
    if (m_mark && m_mark->GetParent() == this) {
        RemoveChild(m_mark);
        m_mark->Show(false);
    }
}

bool wdownloadlistitem::LoadItem(const ItemDownloadRecord& row, CRSSDBMgr& db)
{
    RSSData::tRSSItem item;
    if (!ReadItem(db, row.id, item)) return false;
    LoadItem(row, std::move(item));
    return true;
}

void wdownloadlistitem::LoadItem(const ItemDownloadRecord& row, RSSData::tRSSItem item)
{
    m_row = row;
    // A finished download and a high-quality mark go together.
    if (m_row.percent == 100) item.set_status(FinishedMark);
    if (item.status() == FinishedMark) {
        m_row.percent = 100;
        m_row.status = FinishedState;
    }
    SetContent(ThumbnailPicture(item.local_thumb_file_path), plat::utf8_to_utf16(item.title), m_row.percent);
    SetQualityMark(item.status());
}

void wdownloadlistitem::SetRow(const ItemDownloadRecord& row)
{
    m_row = row;
    m_percent->SetText(plat::utf8_to_utf16(std::to_string(row.percent) + "%").c_str());
    Invalidate();
}

void wdownloadlistitem::SetContent(const std::string& picture, const std::u16string& title, int percent)
{
    m_thumbnail->SetPicture(picture);
    m_thumbnail->SetSize(62, 48);
    m_title->SetText(title.c_str());
    m_row.percent = percent;
    SetRow(m_row);
}

void wdownloadlistitem::SetQualityMark(int value)
{
    const bool finished = value == FinishedMark;
    m_percent->Show(!finished);
    m_percent->SetColor(finished ? mark_blue : percent_orange);
    if (m_mark) m_mark->Show(!finished);
    m_title->SetColor(finished ? title_white : title_grey);
    Invalidate();
}

void wdownloadlistitem::SetSelected(bool selected)
{
    wtlistitem::SetSelected(selected);
    if (auto* list = dynamic_cast<wdownloadlist*>(GetParent())) list->LendMark(*this, selected);
}

}
