// The feed parser script. It reads RSS (0.9x, 1.0 and 2.0) and Atom (0.3 and
// 1.0) feeds as publishers write them, with their Media RSS fields, the
// Dublin Core and iTunes elements that stand in for missing plain ones, and
// the video site's own extension elements; fills Pellow's channel and item
// objects and returns the channel. ES5, as the script engine runs it (every
// text is trimmed, and String's own trim is far cheaper than a regular
// expression); no trailing commas.
//
// FeedHost and FeedTimeout are set by the parser from the user's settings
// after the script is loaded.

var FeedHost = "feeds.vazirezo.invalid";
var FeedTimeout = 30000;

var MediaRssNamespaces = setOf(["http://search.yahoo.com/mrss/", "http://search.yahoo.com/mrss"]);
var AtomNamespaces = setOf(["http://www.w3.org/2005/Atom", "http://purl.org/atom/ns#"]);
var RdfNamespace = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
var RdfRssNamespaces = setOf(["http://purl.org/rss/1.0/", "http://my.netscape.com/rdf/simple/0.9/"]);

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

// An RSS item's plain elements, and the properties each gives as
// [property, attribute or "" for the element's text].
var ItemElements = [
    ["title", [["title", ""]]], ["link", [["link", ""]]], ["author", [["author", ""]]],
    ["source", [["source", ""], ["source_url", "url"]]], ["category", [["category", ""], ["category_domain", "domain"]]],
    ["comments", [["comments", ""]]], ["pubDate", [["pubDate", ""]]],
    ["guid", [["guid", ""], ["guid_isPermaLink", "isPermaLink"]]],
    ["enclosure", [["enclosure_url", "url"], ["enclosure_length", "length"], ["enclosure_type", "type"]]]
];

// Media RSS: each element, and the properties it gives, as above.
var MediaElements = [
    ["content", [["media_content_url", "url"], ["media_content_fileSize", "fileSize"],
                 ["media_content_type", "type"], ["media_content_medium", "medium"],
                 ["media_content_isDefault", "isDefault"], ["media_content_expression", "expression"],
                 ["media_content_bitrate", "bitrate"], ["media_content_framerate", "framerate"],
                 ["media_content_samplingrate", "samplingrate"], ["media_content_channels", "channels"],
                 ["media_content_duration", "duration"], ["media_content_height", "height"],
                 ["media_content_width", "width"], ["media_content_lang", "lang"]]],
    ["adult", [["media_adult", ""]]],
    ["rating", [["media_rating", ""], ["media_rating_scheme", "scheme"]]],
    ["title", [["media_title", ""], ["media_title_type", "type"]]],
    ["description", [["media_description", ""], ["media_description_type", "type"]]],
    ["keywords", [["media_keywords", ""]]],
    ["thumbnail", [["media_thumbnail_url", "url"], ["media_thumbnail_width", "width"],
                   ["media_thumbnail_height", "height"], ["media_thumbnail_time", "time"]]],
    ["category", [["media_category", ""], ["media_category_scheme", "scheme"], ["media_category_label", "label"]]],
    ["hash", [["media_hash", ""], ["media_hash_algo", "algo"]]],
    ["player", [["media_player", "url"], ["media_player_width", "width"], ["media_player_height", "height"]]],
    ["credit", [["media_credit", ""], ["media_credit_role", "role"], ["media_credit_schema", "scheme"]]],
    ["copyright", [["media_copyright", ""], ["media_copyright_url", "url"]]],
    ["text", [["media_text", ""], ["media_text_type", "type"], ["media_text_lang", "lang"],
              ["media_text_start", "start"], ["media_text_end", "end"]]],
    ["restriction", [["media_restriction", ""], ["media_restriction_relationship", "relationship"],
                     ["media_restriction_type", "type"]]]
];

// The feed as a document read from the bytes that came, in their own charset.
function fetchDocument(url) {
    var http = new ActiveXObject("Microsoft.XMLHTTP");
    http.open("GET", url, false);
    http.timeout = FeedTimeout;
    http.send();
    if (http.status != 200)
        throw new Error("the feed server answered " + http.status + " for " + url);
    var doc = http.responseXML;
    if (doc.documentElement === null)
        throw new Error("the feed is not XML: " + doc.parseError.reason);
    return doc.documentElement;
}

// The child elements of a feed entry by local name, in document order, in three
// groups: "plain" (in one of plainNamespaces), "media" (Media RSS, also those
// inside media:group) and "extension" (any other namespace, such as the video
// site's own: whatever address a feed gives it, its elements are found by name).
// Every element of every item passes through here, so it asks the DOM for each
// fact once and calls nothing it need not.
function sortChildren(node, plainNamespaces) {
    var sorted = {plain: {}, media: {}, extension: {}};
    collectChildren(node, plainNamespaces, false, sorted);
    return sorted;
}

function collectChildren(node, plainNamespaces, inGroup, sorted) {
    var list = node.childNodes, count = list.length, i, child, space, lastSpace = null, isMedia, group, name, found;
    for (i = 0; i < count; i++) {
        child = list.item(i);
        if (child.nodeType != 1)
            continue;
        // Neighbours mostly share their namespace: its group is worked out once a run.
        space = child.namespaceURI;
        if (space !== lastSpace) {
            lastSpace = space;
            isMedia = MediaRssNamespaces[" " + space] === true;
            group = isMedia ? sorted.media :
                    !inGroup && plainNamespaces[" " + space] === true ? sorted.plain : sorted.extension;
        }
        name = " " + child.baseName;
        if (isMedia && name == " group") {
            collectChildren(child, plainNamespaces, true, sorted);
            continue;
        }
        found = group[name];
        if (found === undefined)
            group[name] = [child];
        else
            found.push(child);
    }
}

// Sets of names, and the groups of sortChildren, key each name with a blank in
// front, which no XML name or namespace address has: a key can never be one
// of an object's own members ("hasOwnProperty", "__proto__"), so a plain
// lookup answers.
function setOf(names) {
    var set = {};
    for (var i = 0; i < names.length; i++)
        set[" " + names[i]] = true;
    return set;
}

// The elements of this local name in a group of sortChildren, in document order.
function all(group, name) {
    var found = group[" " + name];
    return found === undefined ? [] : found;
}

function first(group, name) {
    var found = group[" " + name];
    return found === undefined ? null : found[0];
}

// No field of a feed is anywhere near this long; a feed that holds one is refused
// rather than carried through every later step.
var MaxFieldLength = 1 << 20;

function textOf(element) {
    if (!element)
        return "";
    var text = element.text;
    if (text.length > MaxFieldLength)
        throw new Error("a field of the feed is longer than " + MaxFieldLength + " characters");
    return text.trim();
}

// A description as HTML: markup written into it as elements is kept as markup
// (its text escaped as it stands); otherwise its text, whose escaped HTML the
// XML reading has unescaped once.
function markupOf(element) {
    if (!element)
        return "";
    var list = element.childNodes, i, hasElements = false;
    for (i = 0; i < list.length && !hasElements; i++)
        hasElements = list.item(i).nodeType == 1;
    return hasElements ? innerMarkup(element) : textOf(element);
}

// The element's content written out as markup, comments left out.
function innerMarkup(element) {
    var list = element.childNodes, markup = "";
    for (var i = 0; i < list.length; i++) {
        if (list.item(i).nodeType != 8)
            markup += list.item(i).xml;
    }
    return markup.trim();
}

var Base64Digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The text of Base64 bytes read as UTF-8; null when the text is no Base64.
function fromBase64(text) {
    var bytes = [], bits = 0, count = 0, i, value;
    for (i = 0; i < text.length; i++) {
        var c = text.charAt(i);
        if (c == "=" || c == " " || c == "\n" || c == "\r" || c == "\t")
            continue;
        value = Base64Digits.indexOf(c);
        if (value < 0)
            return null;
        bits = bits << 6 | value;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push(bits >> count & 0xFF);
        }
    }
    return utf8Text(bytes);
}

// Bytes as UTF-8 text; a byte that starts no character stands for itself (Latin-1).
function utf8Text(bytes) {
    var text = "", i = 0, b, more, code;
    while (i < bytes.length) {
        b = bytes[i++];
        more = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        code = more == 3 ? b & 0x07 : more == 2 ? b & 0x0F : more == 1 ? b & 0x1F : b;
        var end = i + more, good = end <= bytes.length;
        for (var k = i; good && k < end; k++)
            good = (bytes[k] & 0xC0) == 0x80;
        if (more > 0 && !good) {
            text += String.fromCharCode(b);
            continue;
        }
        for (; i < end; i++)
            code = code << 6 | bytes[i] & 0x3F;
        if (code >= 0x10000) {
            code -= 0x10000;
            text += String.fromCharCode(0xD800 + (code >> 10), 0xDC00 + (code & 0x3FF));
        } else {
            text += String.fromCharCode(code);
        }
    }
    return text;
}

// Whether an Atom text construct holds Base64: Atom 0.3's mode="base64", a
// type marked ";base64", or (Atom 1.0) a media type that is neither text nor XML.
function isBase64Construct(element) {
    var mode = (element.getAttribute("mode") || "").toLowerCase();
    var type = (element.getAttribute("type") || "").toLowerCase();
    if (mode == "base64" || /;\s*base64$/.test(type))
        return true;
    return mode === "" && type.indexOf("/") > 0 && type.indexOf("text/") !== 0 && !/[\/+]xml$/.test(type);
}

// The XHTML div that an Atom construct of type xhtml wraps its content in.
function xhtmlDiv(element) {
    var type = (element.getAttribute("type") || "").toLowerCase();
    if (type != "xhtml" && type != "application/xhtml+xml")
        return null;
    for (var i = 0, list = element.childNodes; i < list.length; i++) {
        if (list.item(i).nodeType == 1)
            return list.item(i).baseName == "div" ? list.item(i) : null;
    }
    return null;
}

// An Atom text construct as text (title, rights, ...): Base64 decoded, an
// XHTML construct's text without its wrapping div.
function atomText(element) {
    if (!element)
        return "";
    if (isBase64Construct(element)) {
        var decoded = fromBase64(textOf(element));
        return decoded === null ? textOf(element) : decoded.trim();
    }
    return textOf(xhtmlDiv(element) || element);
}

// An Atom text construct as HTML (summary, content): Base64 decoded, the
// content of an XHTML construct without its wrapping div, else as markupOf.
function atomMarkup(element) {
    if (!element)
        return "";
    if (isBase64Construct(element))
        return atomText(element);
    var div = xhtmlDiv(element);
    return div ? innerMarkup(div) : markupOf(element);
}

function attributeOf(element, name) {
    var value = element ? element.getAttribute(name) : null;
    return value === null ? "" : value;
}

function escapeHtml(text) {
    if (text.indexOf("&") < 0 && text.indexOf("<") < 0 && text.indexOf(">") < 0 && text.indexOf("\"") < 0)
        return text;
    return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
}

// The text of an HTML fragment: tags dropped, character references read once.
function plainText(html) {
    var text = html.indexOf("<") < 0 ? html : html.replace(/<[^>]*>/g, " ");
    // Printable ASCII without two blanks in a row has no white space to fold,
    // and testing for that is far cheaper than a replace that changes nothing.
    text = (/[^ -~]| {2}/.test(text) ? text.replace(/\s+/g, " ") : text).trim();
    if (text.indexOf("&") < 0)
        return text;
    return text.replace(/&(#[0-9]+|#x[0-9a-fA-F]+|lt|gt|quot|apos|amp);/g, function (all, name) {
        if (name.charAt(0) != "#")
            return {lt: "<", gt: ">", quot: "\"", apos: "'", amp: "&"}[name];
        var code = name.charAt(1) == "x" ? parseInt(name.substring(2), 16) : parseInt(name.substring(1), 10);
        return code > 0 && code < 0xFFFF ? String.fromCharCode(code) : all;
    });
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

var DayNames = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"];
var MonthNames = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];

// An Atom date (2008-12-01T10:00:00Z, or with an offset) in the form RSS 2.0
// dates have ("Mon, 01 Dec 2008 10:00:00 GMT"); text that is no such date stays as it is.
function rssDate(text) {
    var found = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d)(?::(\d\d)(?:\.\d+)?)?(Z|([+\-])(\d\d):?(\d\d))?$/.exec(text);
    if (!found)
        return text;
    var ms = Date.UTC(+found[1], +found[2] - 1, +found[3], +found[4], +found[5], found[6] ? +found[6] : 0);
    if (found[8])
        ms -= (found[8] == "-" ? -1 : 1) * (+found[9] * 60 + +found[10]) * 60000;
    var d = new Date(ms);
    if (isNaN(d.getTime()))
        return text;
    return DayNames[d.getUTCDay()] + ", " + twoDigits(d.getUTCDate()) + " " + MonthNames[d.getUTCMonth()] + " " +
           d.getUTCFullYear() + " " + twoDigits(d.getUTCHours()) + ":" + twoDigits(d.getUTCMinutes()) + ":" +
           twoDigits(d.getUTCSeconds()) + " GMT";
}

// Only a web address may become a picture in the item list: any other scheme
// (javascript:, file:, data:) would run or read something the feed chose.
function isWebAddress(url) {
    return /^https?:\/\/[^\s"'<>]+$/i.test(url);
}

// A row of the item list is about as tall as its picture: the text beside it
// is cut to about three lines, at a blank, with an ellipsis.
var ShownTextLength = 220;

function shortText(text) {
    if (text.length <= ShownTextLength)
        return text;
    var cut = text.lastIndexOf(" ", ShownTextLength);
    if (cut <= ShownTextLength / 2) {
        cut = ShownTextLength;
        // Never between the two halves of a character outside the BMP.
        var last = text.charCodeAt(cut - 1);
        if (last >= 0xD800 && last <= 0xDBFF)
            cut--;
    }
    return text.substring(0, cut) + "\u2026";
}

// What the item list shows, as a feed reader lays out a row: the thumbnail on
// the left; beside it the title in the skin's bright text, clear of the row's
// buttons, then the text and the length after a "Time:" label (no label
// where the feed gives no length). The view's style sheet colours all text
// grey, so the title carries its own colour.
function displayHtml(values) {
    var text = values.media_description || plainText(values.original_description || "");
    var length = formatDuration(values.media_content_duration || "");
    var thumbnail = values.media_thumbnail_url || "";
    var picture = isWebAddress(thumbnail)
        ? "<td class=\"picture\" valign=\"top\" style=\"padding:0 10px 0 0\"><img src=\"" + escapeHtml(thumbnail) +
          "\" width=\"130\" height=\"90\"/></td>" : "";
    return "<table class=\"item\" cellspacing=\"0\" cellpadding=\"0\"><tr>" + picture +
           "<td class=\"words\" valign=\"top\">" +
           "<p class=\"title\" style=\"color:#ffffff;font-size:13px;font-weight:bold;margin:0 76px 5px 0\">" +
           escapeHtml(values.title || "") + "</p>" +
           "<p class=\"text\" style=\"margin:0 0 5px 0\">" + escapeHtml(shortText(text)) + "</p>" +
           (length ? "<span class=\"label\">Time:</span> <span class=\"time\">" + length + "</span>" : "") +
           "</td></tr></table>";
}

// Of several media:content elements the one marked isDefault="true", else the first.
function defaultContent(contents) {
    for (var i = 0; i < contents.length; i++) {
        if (contents[i].getAttribute("isDefault") == "true")
            return contents[i];
    }
    return contents.length > 0 ? contents[0] : null;
}

// An item's values hold only the fields the feed gave: most fields of most
// items are empty, and every property the engine writes or walks costs.
function put(values, name, text) {
    if (text !== "")
        values[name] = text;
}

// Puts the fields of element (null for none) that hold something into values.
// Every field of every item passes through here: it calls nothing it need not.
function readFields(element, fields, values) {
    var i, text;
    for (i = 0; element !== null && i < fields.length; i++) {
        text = fields[i][1] === "" ? textOf(element) : element.getAttribute(fields[i][1]);
        if (text !== null && text !== "")
            values[fields[i][0]] = text;
    }
}

function readMedia(sorted, values) {
    var media = sorted.media, i, name;
    for (i = 0; i < MediaElements.length; i++) {
        name = MediaElements[i][0];
        readFields(name == "content" ? defaultContent(all(media, name)) : first(media, name), MediaElements[i][1],
                   values);
    }
    if (values.media_content_duration === undefined)
        put(values, "media_content_duration", extensionDuration(sorted.extension));
}

// Seconds of a duration written as seconds, m:ss or h:mm:ss; "" for anything else.
function durationSeconds(text) {
    var found = /^(?:(?:(\d+):)?(\d+):)?(\d+)$/.exec(text.trim());
    if (!found)
        return "";
    return "" + ((found[1] ? +found[1] : 0) * 3600 + (found[2] ? +found[2] : 0) * 60 + +found[3]);
}

// The site's duration (its seconds attribute), else an iTunes duration (its text).
function extensionDuration(extension) {
    var durations = all(extension, "duration"), i, seconds;
    for (i = 0; i < durations.length; i++) {
        seconds = durations[i].getAttribute("seconds");
        if (seconds !== null)
            return seconds;
    }
    return durations.length > 0 ? durationSeconds(durations[0].text) : "";
}

// Dublin Core and iTunes elements stand in for plain ones the item lacks.
function fillFromExtensions(extension, values) {
    if (values.author === undefined)
        put(values, "author", textOf(first(extension, "creator")) || textOf(first(extension, "author")));
    if (values.pubDate === undefined)
        put(values, "pubDate", rssDate(textOf(first(extension, "date"))));
    if (values.category === undefined)
        put(values, "category", textOf(first(extension, "subject")));
    if (values.original_description === undefined)
        put(values, "original_description", textOf(first(extension, "summary")));
}

function readRssItem(node, plainNamespaces) {
    var values = {}, sorted = sortChildren(node, plainNamespaces), plain = sorted.plain, i;
    for (i = 0; i < ItemElements.length; i++)
        readFields(first(plain, ItemElements[i][0]), ItemElements[i][1], values);
    put(values, "original_description", markupOf(first(plain, "description")));
    // A guid that is a permalink (the default) is the item's address when it names none.
    if (values.link === undefined && values.guid_isPermaLink != "false" && isWebAddress(values.guid || ""))
        values.link = values.guid;
    fillFromExtensions(sorted.extension, values);
    readMedia(sorted, values);
    return values;
}

// The address of an Atom element's link of this relation ("alternate" when it names none).
function atomLink(plain, relation) {
    var links = all(plain, "link"), i;
    for (i = 0; i < links.length; i++) {
        if ((links[i].getAttribute("rel") || "alternate") == relation)
            return links[i];
    }
    return null;
}

// An Atom person's name (the text of its name element).
function atomName(person, plainNamespaces) {
    return person ? textOf(first(sortChildren(person, plainNamespaces).plain, "name")) : "";
}

// The first non-empty text of these plain elements, read by read (textOf when not given).
function firstText(plain, names, read) {
    for (var i = 0; i < names.length; i++) {
        var text = (read || textOf)(first(plain, names[i]));
        if (text !== "")
            return text;
    }
    return "";
}

function readAtomEntry(node, plainNamespaces) {
    var values = {}, sorted = sortChildren(node, plainNamespaces), plain = sorted.plain;
    put(values, "title", atomText(first(plain, "title")));
    put(values, "link", attributeOf(atomLink(plain, "alternate"), "href"));
    put(values, "guid", textOf(first(plain, "id")));
    put(values, "pubDate", rssDate(firstText(plain, ["published", "issued", "updated", "modified"])));
    put(values, "author", atomName(first(plain, "author"), plainNamespaces));
    put(values, "category", attributeOf(first(plain, "category"), "term"));
    put(values, "category_domain", attributeOf(first(plain, "category"), "scheme"));
    var enclosure = atomLink(plain, "enclosure");
    put(values, "enclosure_url", attributeOf(enclosure, "href"));
    put(values, "enclosure_length", attributeOf(enclosure, "length"));
    put(values, "enclosure_type", attributeOf(enclosure, "type"));
    put(values, "comments", attributeOf(atomLink(plain, "replies"), "href"));
    put(values, "original_description", firstText(plain, ["summary", "content"], atomMarkup));
    // An entry copied from another feed names that feed in its source.
    var source = first(plain, "source");
    if (source) {
        var about = sortChildren(source, plainNamespaces).plain;
        put(values, "source", atomText(first(about, "title")));
        put(values, "source_url", attributeOf(atomLink(about, "alternate"), "href"));
    }
    fillFromExtensions(sorted.extension, values);
    readMedia(sorted, values);
    return values;
}

function makeItem(values) {
    values.description = displayHtml(values);
    values.display_description = values.description;
    var item = new ActiveXObject("Pellow.RSSItem");
    for (var name in values)
        item[name] = values[name];
    return item;
}

function setFields(target, values) {
    for (var name in values) {
        if (values[name] !== "")
            target[name] = values[name];
    }
}

// The text at a path of plain child elements ("image/url"), looked for in the
// channel and then, when given, outside it: RSS 1.0 puts the image and the text
// input beside the channel, which only points at them. RSS 0.91 and 1.0 spell
// "textinput" in lower case.
function textAtPath(plain, path, plainNamespaces, outside) {
    var steps = path.split("/"), text = "", places = outside ? [plain, outside] : [plain], p, element, i;
    for (p = 0; p < places.length && text === ""; p++) {
        element = first(places[p], steps[0]) || (steps[0] == "textInput" ? first(places[p], "textinput") : null);
        for (i = 1; i < steps.length && element; i++)
            element = first(sortChildren(element, plainNamespaces).plain, steps[i]);
        text = textOf(element);
    }
    return text;
}

// Dublin Core and iTunes elements stand in for plain channel elements the feed lacks.
function fillChannelFromExtensions(extension, values) {
    var fill = function (name, text) {
        if (!values[name])
            values[name] = text;
    };
    fill("managingEditor", textOf(first(extension, "creator")) || textOf(first(extension, "author")));
    fill("pubDate", rssDate(textOf(first(extension, "date"))));
    fill("category", textOf(first(extension, "subject")) || attributeOf(first(extension, "category"), "text"));
    fill("copyright", textOf(first(extension, "rights")));
    fill("language", textOf(first(extension, "language")));
    fill("description", textOf(first(extension, "summary")) || textOf(first(extension, "subtitle")));
    fill("image_url", attributeOf(first(extension, "image"), "href"));
}

function rssChannelValues(node, plainNamespaces, outside) {
    var sorted = sortChildren(node, plainNamespaces), plain = sorted.plain;
    var values = {}, i;
    for (i = 0; i < ChannelFields.length; i++)
        values[ChannelFields[i][0]] = textAtPath(plain, ChannelFields[i][1], plainNamespaces, outside);
    values.category_domain = attributeOf(first(plain, "category"), "domain");
    values.cloud = attributeOf(first(plain, "cloud"), "domain");
    fillChannelFromExtensions(sorted.extension, values);
    return values;
}

function atomChannelValues(node, plainNamespaces) {
    var sorted = sortChildren(node, plainNamespaces), plain = sorted.plain;
    var values = {
        title: atomText(first(plain, "title")),
        link: attributeOf(atomLink(plain, "alternate"), "href"),
        description: firstText(plain, ["subtitle", "tagline"], atomText),
        language: attributeOf(node, "xml:lang"),
        copyright: firstText(plain, ["rights", "copyright"], atomText),
        managingEditor: atomName(first(plain, "author"), plainNamespaces),
        lastBuildDate: rssDate(firstText(plain, ["updated", "modified"])),
        category: attributeOf(first(plain, "category"), "term"),
        category_domain: attributeOf(first(plain, "category"), "scheme"),
        generator: textOf(first(plain, "generator")),
        image_url: firstText(plain, ["logo", "icon"])
    };
    fillChannelFromExtensions(sorted.extension, values);
    return values;
}

// The feed's channel values, its item nodes and how to read one.
function feedParts(root, url) {
    var space = root.namespaceURI, name = root.baseName, plainNamespaces, plain, channel;
    // RSS 0.9x and 2.0, also with the root in a namespace of its own.
    if (name == "rss") {
        plainNamespaces = setOf(["", space]);
        channel = first(sortChildren(root, plainNamespaces).plain, "channel");
        if (channel) {
            plain = sortChildren(channel, plainNamespaces).plain;
            return {channel: rssChannelValues(channel, plainNamespaces), items: all(plain, "item"),
                    plainNamespaces: plainNamespaces, read: readRssItem};
        }
    }
    // RSS 0.90 and 1.0: the channel and its items side by side under rdf:RDF.
    if (name == "RDF" && space == RdfNamespace) {
        plain = sortChildren(root, RdfRssNamespaces).plain;
        channel = first(plain, "channel");
        if (channel)
            return {channel: rssChannelValues(channel, RdfRssNamespaces, plain), items: all(plain, "item"),
                    plainNamespaces: RdfRssNamespaces, read: readRssItem};
    }
    // Atom 1.0 and 0.3, also written without their namespace.
    if (name == "feed" && (AtomNamespaces[" " + space] === true || space === "")) {
        plainNamespaces = setOf([space]);
        plain = sortChildren(root, plainNamespaces).plain;
        return {channel: atomChannelValues(root, plainNamespaces), items: all(plain, "entry"),
                plainNamespaces: plainNamespaces, read: readAtomEntry};
    }
    throw new Error("not an RSS or Atom feed: " + url);
}

// The temporary channel's address: it holds items the user opened, and names
// no feed to read.
var TempChannel = "TempChannel";

function RSSParse(url, count) {
    // Asked for the temporary channel, the parser answers without a channel,
    // quietly: nothing went wrong.
    if (url == TempChannel)
        return null;
    var feed = feedParts(fetchDocument(url), url);
    var channel = new ActiveXObject("Pellow.RSSChannel");
    setFields(channel, feed.channel);
    var limit = count > 0 && count < feed.items.length ? count : feed.items.length;
    for (var i = 0; i < limit; i++)
        channel.AddRSSItem(makeItem(feed.read(feed.items[i], feed.plainNamespaces)));
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
