// The thumbnail task of the prefetch manager: an item's description pictures
// get local files, the download manager fetches those not there yet, and the
// description points at the local files once they are all stored.

#include "prefetch/CPrefechMgr.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlInterfaces.h"
#include "prefetch/PictureFiles.h"
#include "prefetch/PrefechJob.h"

#include <optional>
#include <set>

namespace {

constexpr DWORD any_server = 23;   // in-process server or handler, local or remote server

plat::ComPtr<IHTMLDocument2> load_document(const std::string& html)
{
    plat::ComPtr<IHTMLDocument2> document;
    if (FAILED(CoCreateInstance(CLSID_HTMLDocument, nullptr, any_server, IID_IHTMLDocument2, document.put_void())))
        return {};
    SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!texts)
        return {};
    VARIANT* elements = nullptr;
    SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
    elements[0].vt = VT_BSTR;
    elements[0].bstrVal = plat::Bstr::from_utf8(html).detach();
    SafeArrayUnaccessData(texts);
    const HRESULT written = document->write(texts);
    SafeArrayDestroy(texts);
    return SUCCEEDED(written) ? document : plat::ComPtr<IHTMLDocument2>();
}

VARIANT position(LONG n)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

std::optional<std::string> body_markup(IHTMLDocument2& document)
{
    plat::ComPtr<IHTMLElement> body;
    plat::Bstr html;
    if (FAILED(document.get_body(body.put())) || !body || FAILED(body->get_innerHTML(html.out())))
        return std::nullopt;
    return html.utf8();
}

}

bool CPrefechMgr::RunThumbnailTask(tPrefechJob& job, RSSData::tRSSItem& item)
{
    job.item_key = item.original_media_url;
    job.task = DownloadTaskInfo();
    job.task.key = item.original_media_url + "ThumbnailTask";
    plat::ComPtr<IHTMLDocument2> document = load_document(item.display_description);
    plat::ComPtr<IHTMLElementCollection> images;
    if (!document || FAILED(document.as<IHTMLDocument3>()->getElementsByTagName(plat::Bstr(u"IMG").get(), images.put()))) {
        plat::debug_log("prefetch: description of " + item.original_media_url + " not read; item left as it is");
        return false;
    }
    LONG count = 0;
    images->get_length(&count);
    int numbered = 0;
    std::set<std::string> submitted;   // one download per file, however often a picture recurs
    for (LONG i = 0; i < count; ++i) {
        plat::ComPtr<IDispatch> found;
        VARIANT none;
        VariantInit(&none);
        images->item(position(i), none, found.put());
        auto image = found.as<IHTMLImgElement>();
        plat::Bstr source;
        if (!image || FAILED(image->get_src(source.out())) || source.length() == 0)
            continue;
        // The id is written on the element walked; the src is set on that same
        // element, since the description may hold an "imgid_n" of its own.
        found.as<IHTMLElement>()->put_id(plat::Bstr::from_utf8("imgid_" + std::to_string(numbered++)).get());
        const std::string address = source.utf8();
        if (!lumbrick::is_fetchable_picture(address))
            continue;
        const std::string path = lumbrick::picture_file_name(m_image_folder, address, *m_bind);
        if (!lumbrick::picture_present(path) && submitted.insert(path).second) {
            job.task.address = address;
            job.task.mode = 0;
            job.task.local_path = plat::utf8_to_utf16(path);
            if (m_downloader->AddTask(&job.task, OSTREL_KIND_PICTURE))
                count_accepted(job);
        }
        image->put_src(plat::Bstr::from_utf8(path).get());
        if (address == item.media_thumbnail_url)
            item.local_thumb_file_path = path;
    }
    const std::optional<std::string> markup = body_markup(*document.get());
    if (!markup)
        return false;
    item.display_description = *markup;
    job.new_description = *markup;
    job.thumb_path = item.local_thumb_file_path;
    return close_submissions(job);
}

void CPrefechMgr::CompleteJob(const tPrefechJob& job)
{
    std::list<RSSData::tRSSItem> items;
    m_database->GetItemByMediaUrl(job.item_key, &items);
    for (const RSSData::tRSSItem& item : items)
        m_database->SetItemLocalImages(&job.new_description, &job.thumb_path, item.id);
}
