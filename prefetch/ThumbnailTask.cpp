// The thumbnail task of the prefetch manager: an item's description pictures
// get local files, the download manager fetches those not there yet, and the
// description points at the local files once their downloads have ended.

#include "prefetch/CPrefechMgr.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "platform/base/DebugLog.h"
#include "platform/com/Com.h"
#include "platform/html/HtmlInterfaces.h"
#include "prefetch/PictureFiles.h"
#include "prefetch/PrefechJob.h"

#include <optional>

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
    job.document = load_document(item.display_description);
    plat::ComPtr<IHTMLElementCollection> images;
    if (!job.document ||
        FAILED(job.document.as<IHTMLDocument3>()->getElementsByTagName(plat::Bstr(u"IMG").get(), images.put()))) {
        plat::debug_log("prefetch: description of " + item.original_media_url + " not read; item left as it is");
        job.document = {};
        return false;
    }
    LONG count = 0;
    images->get_length(&count);
    int numbered = 0;
    for (LONG i = 0; i < count; ++i) {
        plat::ComPtr<IDispatch> found;
        VARIANT none;
        VariantInit(&none);
        images->item(plat::long_variant(i), none, found.put());
        auto image = found.as<IHTMLImgElement>();
        plat::Bstr source;
        if (!image || FAILED(image->get_src(source.out())) || source.length() == 0)
            continue;
        // The id goes on the element walked, and so does the new src: the
        // description may hold an "imgid_n" of its own.
        found.as<IHTMLElement>()->put_id(plat::Bstr::from_utf8("imgid_" + std::to_string(numbered++)).get());
        const std::string address = source.utf8();
        if (!lumbrick::is_fetchable_picture(address))
            continue;
        const std::string path = lumbrick::picture_file_name(m_image_folder, address, *m_bind);
        if (!lumbrick::picture_present(path))
            submit_picture(job, address, path);
        image->put_src(plat::Bstr::from_utf8(path).get());
        job.placed.push_back({image, address, path});
    }
    return close_submissions(job);
}

void CPrefechMgr::CompleteJob(tPrefechJob& job, const RSSData::tRSSItem& item)
{
    std::map<std::string, tPrefechJob::Picture> downloads;
    {
        std::scoped_lock hold(m_job_lock);
        downloads = job.downloads;
    }
    job.thumb_path = item.local_thumb_file_path;
    for (const tPrefechJob::Placed& picture : job.placed) {
        auto download = downloads.find(picture.local_path);
        if (download != downloads.end() && download->second != tPrefechJob::Picture::Finished)
            picture.element->put_src(plat::Bstr::from_utf8(picture.address).get());
        else if (picture.address == item.media_thumbnail_url)
            job.thumb_path = picture.local_path;
    }
    const std::optional<std::string> markup = body_markup(*job.document.get());
    if (!markup)
        return;
    job.new_description = *markup;
    std::list<RSSData::tRSSItem> items;
    m_database->GetItemByMediaUrl(job.item_key, &items);
    for (const RSSData::tRSSItem& same : items)
        m_database->SetItemLocalImages(&job.new_description, &job.thumb_path, same.id);
}
