// A parser script for the bridge's tests: each function shows what it received
// or returns a value of the wrong kind on purpose.

var FeedHost = "";
var FeedTimeout = 0;

function RSSParse(url, count) {
    if (url == "number") return 42;
    if (url == "string") return "a channel";
    if (url == "nothing") return;
    if (url == "null") return null;
    if (url == "item") return new ActiveXObject("Pellow.RSSItem");
    if (url == "throw") throw new Error("no feed here");
    var channel = new ActiveXObject("Pellow.RSSChannel");
    channel.title = url + "|" + count + "|" + typeof count;
    return channel;
}

function RSSSearch(keyword, siteName, count) {
    var channel = new ActiveXObject("Pellow.RSSChannel");
    channel.title = keyword + "|" + siteName + "|" + count;
    return channel;
}

function TransformURL(url, selectHD) {
    if (url == "object") return {};
    return url + "|" + selectHD + "|" + FeedHost + "|" + FeedTimeout;
}

function GetRelatedVideo(url) {
    var channel = new ActiveXObject("Pellow.RSSChannel");
    channel.title = "related to " + url;
    return channel;
}
