// The feed parser script. It reads the video site's RSS 2.0 feeds (with their
// Media RSS fields), fills Pellow's channel and item objects and returns the
// channel. Plain JScript: no ES5 library calls, no trailing commas.
//
// FeedHost and FeedTimeout are set by the parser from the user's settings
// after the script is loaded.

var FeedHost = "gdata.youtube.com";
var FeedTimeout = 30000;

var Namespaces = "xmlns:media='http://search.yahoo.com/mrss/' " +
                 "xmlns:yt='http://gdata.youtube.com/schemas/2007' " +
                 "xmlns:atom='http://www.w3.org/2005/Atom'";

var ChannelFields = [
    ["title", "title"], ["link", "link"], ["description", "description"], ["language", "language"],
    ["copyright", "copyright"], ["managingEditor", "managingEditor"], ["webMaster", "webMaster"],
    ["pubDate", "pubDate"], ["lastBuildDate", "lastBuildDate"], ["category", "category"],
    ["generator", "generator"], ["docs", "docs"], ["ttl", "ttl"], ["rating", "rating"],
    ["image_title", "image/title"], ["image_url", "image/url"], ["image_link", "image/link"],
    ["image_width", "image/width"], ["image_height", "image/height"],
    ["textInput_title", "textInput/title"], ["textInput_description", "textInput/description"],
    ["textInput_name", "textInput/name"], ["textInput_link", "textInput/link"],
    ["skipHours", "skipHours"], ["skipDays", "skipDays"]
];

var ItemFields = [
    ["title", "title"], ["link", "link"], ["author", "author"], ["source", "source"],
    ["category", "category"], ["comments", "comments"], ["pubDate", "pubDate"], ["guid", "guid"]
];

var ItemAttributes = [
    ["source_url", "source", "url"], ["category_domain", "category", "domain"],
    ["enclosure_url", "enclosure", "url"], ["enclosure_length", "enclosure", "length"],
    ["enclosure_type", "enclosure", "type"], ["guid_isPermaLink", "guid", "isPermaLink"]
];

// Media RSS: [property, element, attribute or "" for the element's text].
var MediaFields = [
    ["media_content_url", "content", "url"], ["media_content_fileSize", "content", "fileSize"],
    ["media_content_type", "content", "type"], ["media_content_medium", "content", "medium"],
    ["media_content_isDefault", "content", "isDefault"], ["media_content_expression", "content", "expression"],
    ["media_content_bitrate", "content", "bitrate"], ["media_content_framerate", "content", "framerate"],
    ["media_content_samplingrate", "content", "samplingrate"], ["media_content_channels", "content", "channels"],
    ["media_content_duration", "content", "duration"], ["media_content_height", "content", "height"],
    ["media_content_width", "content", "width"], ["media_content_lang", "content", "lang"],
    ["media_adult", "adult", ""], ["media_rating", "rating", ""], ["media_rating_scheme", "rating", "scheme"],
    ["media_title", "title", ""], ["media_title_type", "title", "type"],
    ["media_description", "description", ""], ["media_description_type", "description", "type"],
    ["media_keywords", "keywords", ""],
    ["media_thumbnail_url", "thumbnail", "url"], ["media_thumbnail_width", "thumbnail", "width"],
    ["media_thumbnail_height", "thumbnail", "height"], ["media_thumbnail_time", "thumbnail", "time"],
    ["media_category", "category", ""], ["media_category_scheme", "category", "scheme"],
    ["media_category_label", "category", "label"], ["media_hash", "hash", ""], ["media_hash_algo", "hash", "algo"],
    ["media_player", "player", "url"], ["media_player_width", "player", "width"],
    ["media_player_height", "player", "height"], ["media_credit", "credit", ""],
    ["media_credit_role", "credit", "role"], ["media_credit_schema", "credit", "scheme"],
    ["media_copyright", "copyright", ""], ["media_copyright_url", "copyright", "url"],
    ["media_text", "text", ""], ["media_text_type", "text", "type"], ["media_text_lang", "text", "lang"],
    ["media_text_start", "text", "start"], ["media_text_end", "text", "end"],
    ["media_restriction", "restriction", ""], ["media_restriction_relationship", "restriction", "relationship"],
    ["media_restriction_type", "restriction", "type"]
];

function fetchText(url) {
    var http = new ActiveXObject("Microsoft.XMLHTTP");
    http.open("GET", url, false);
    http.timeout = FeedTimeout;
    http.send();
    if (http.status != 200)
        throw new Error("the feed server answered " + http.status + " for " + url);
    return http.responseText;
}

function loadChannelNode(url) {
    var doc = new ActiveXObject("Microsoft.XMLDOM");
    doc.async = false;
    if (!doc.loadXML(fetchText(url)))
        throw new Error("the feed is not XML: " + doc.parseError.reason);
    doc.setProperty("SelectionNamespaces", Namespaces);
    var channel = doc.selectSingleNode("/rss/channel");
    if (channel === null)
        throw new Error("not an RSS 2.0 feed: " + url);
    return channel;
}

function trim(text) {
    return text.replace(/^\s+|\s+$/g, "");
}

function textAt(node, path) {
    var found = node.selectSingleNode(path);
    return found === null ? "" : trim(found.text);
}

function attributeAt(node, path, name) {
    var found = node.selectSingleNode(path);
    if (found === null)
        return "";
    var value = found.getAttribute(name);
    return value === null ? "" : value;
}

// A media element sits in the item or in its media:group.
function mediaNode(item, element) {
    var found = item.selectSingleNode("media:" + element);
    return found !== null ? found : item.selectSingleNode("media:group/media:" + element);
}

function escapeHtml(text) {
    return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
}

function plainText(html) {
    return trim(html.replace(/<[^>]*>/g, " ").replace(/\s+/g, " "));
}

function twoDigits(n) {
    return n < 10 ? "0" + n : "" + n;
}

// Seconds as m:ss, or h:mm:ss from an hour on; "" for what is not a number.
function formatDuration(seconds) {
    var total = parseInt(seconds, 10);
    if (isNaN(total) || total < 0)
        return "";
    var hours = Math.floor(total / 3600), minutes = Math.floor(total % 3600 / 60), rest = total % 60;
    return hours > 0 ? hours + ":" + twoDigits(minutes) + ":" + twoDigits(rest) : minutes + ":" + twoDigits(rest);
}

// What the item list shows: the thumbnail, the title and text, and the length
// after a "Time:" label.
function displayHtml(values) {
    var text = values.media_description !== "" ? values.media_description : plainText(values.original_description);
    return "<div class=\"item\">" +
           "<img src=\"" + escapeHtml(values.media_thumbnail_url) + "\" width=\"130\" height=\"90\"/>" +
           "<p class=\"title\">" + escapeHtml(values.title) + "</p>" +
           "<p class=\"text\">" + escapeHtml(text) + "</p>" +
           "<span class=\"label\">Time:</span><span class=\"time\">" +
           formatDuration(values.media_content_duration) + "</span></div>";
}

function readItem(node) {
    var values = {}, i, field, media;
    for (i = 0; i < ItemFields.length; i++)
        values[ItemFields[i][0]] = textAt(node, ItemFields[i][1]);
    for (i = 0; i < ItemAttributes.length; i++) {
        field = ItemAttributes[i];
        values[field[0]] = attributeAt(node, field[1], field[2]);
    }
    for (i = 0; i < MediaFields.length; i++) {
        field = MediaFields[i];
        media = mediaNode(node, field[1]);
        values[field[0]] = media === null ? "" : field[2] === "" ? trim(media.text) : (media.getAttribute(field[2]) || "");
    }
    if (values.media_content_duration === "")
        values.media_content_duration = attributeAt(node, "media:group/yt:duration", "seconds");
    values.original_description = textAt(node, "description");
    values.description = displayHtml(values);
    values.display_description = values.description;

    var item = new ActiveXObject("Pellow.RSSItem");
    for (var name in values) {
        if (values[name] !== "")
            item[name] = values[name];
    }
    return item;
}

function RSSParse(url, count) {
    var node = loadChannelNode(url);
    var channel = new ActiveXObject("Pellow.RSSChannel");
    var i, value;
    for (i = 0; i < ChannelFields.length; i++) {
        value = textAt(node, ChannelFields[i][1]);
        if (value !== "")
            channel[ChannelFields[i][0]] = value;
    }
    value = attributeAt(node, "category", "domain");
    if (value !== "")
        channel.category_domain = value;
    value = attributeAt(node, "cloud", "domain");
    if (value !== "")
        channel.cloud = value;

    var items = node.selectNodes("item");
    var limit = count > 0 && count < items.length ? count : items.length;
    for (i = 0; i < limit; i++)
        channel.AddRSSItem(readItem(items.item(i)));
    return channel;
}

function RSSSearch(keyword, siteName, count) {
    var url = "http://" + FeedHost + "/feeds/base/videos?q=" + keyword + "&max-results=" + count +
              "&alt=rss&client=ytapi-youtube-search";
    return RSSParse(url, count);
}

// The video id of a watch, player or feed address; "" when there is none.
function videoId(url) {
    var found = /[?&]v=([A-Za-z0-9_\-]+)/.exec(url) || /\/v\/([A-Za-z0-9_\-]+)/.exec(url) ||
                /\/videos\/([A-Za-z0-9_\-]+)/.exec(url);
    return found ? found[1] : "";
}

// A watch address becomes the address of its video; anything else comes back as it was.
function TransformURL(url, selectHD) {
    var id = videoId(url);
    if (id === "")
        return url;
    var host = /^(https?:\/\/[^\/?#]+)/.exec(url);
    return (host ? host[1] : "http://" + FeedHost) + "/get_video?video_id=" + id + (selectHD ? "&fmt=22" : "");
}

function GetRelatedVideo(url) {
    var id = videoId(url);
    if (id === "")
        throw new Error("no video in " + url);
    return RSSParse("http://" + FeedHost + "/feeds/base/videos/" + id + "/related?alt=rss&client=ytapi-youtube-browse", 0);
}
