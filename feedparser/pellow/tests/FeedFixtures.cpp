#include "FeedFixtures.h"

namespace {

// The site's own extension namespace under an address of its own: the parser
// must find its elements by local name, whatever the address.
const char* const rss_open =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\" "
    "xmlns:yt=\"http://gdata.example.org/schemas/2007\">\n";

std::string item_xml(int n)
{
    const std::string id = "vid" + std::to_string(n);
    return "<item><title>Video " + std::to_string(n) + "</title>"
           "<link>http://www.example.com/watch?v=" + id + "</link>"
           "<guid isPermaLink=\"false\">tag:example.com,2008:video:" + id + "</guid>"
           "<pubDate>Mon, 01 Dec 2008 10:00:00 GMT</pubDate>"
           "<author>author" + std::to_string(n) + "</author>"
           "<description>Plain words for video " + std::to_string(n) + "</description>"
           "<media:group><media:title type=\"plain\">Video " + std::to_string(n) + "</media:title>"
           "<media:content url=\"http://www.example.com/v/" + id + "\" type=\"application/x-shockwave-flash\" "
           "medium=\"video\" isDefault=\"true\" expression=\"full\" duration=\"" + std::to_string(60 + n) + "\"/>"
           "<media:thumbnail url=\"http://img.example.com/vi/" + id + "/default.jpg\" width=\"130\" height=\"97\" time=\"00:00:30\"/>"
           "<media:keywords>one, two</media:keywords>"
           "<media:category scheme=\"http://gdata.example.com/categories.cat\" label=\"Music\">Music</media:category>"
           "<media:player url=\"http://www.example.com/watch?v=" + id + "\"/>"
           "</media:group></item>\n";
}

}

std::string entities_feed()
{
    return std::string(rss_open) +
           "<channel><title>Caf\xC3\xA9 &amp; friends</title><link>http://www.example.com/</link>"
           "<description>entities</description>"
           "<item><title>Tom &amp; Jerry &lt;3 &#233;t&#xE9;</title><link>http://www.example.com/watch?v=e1</link></item>"
           "<item><title><![CDATA[<b>bold</b> & raw]]></title><link>http://www.example.com/watch?v=e2</link></item>"
           "<item><title>\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98 \xF0\x9F\x8E\xAC</title>"
           "<link>http://www.example.com/watch?v=e3</link></item>"
           "</channel></rss>";
}

std::string ordinary_feed()
{
    return std::string(rss_open) +
           "<channel><title>Most Viewed</title><link>http://www.example.com/browse</link>"
           "<description>Today's most viewed videos</description><language>en-us</language>"
           "<copyright>Example</copyright><category domain=\"http://example.com/cat\">Video</category>"
           "<generator>feed generator</generator><ttl>60</ttl>"
           "<image><url>http://img.example.com/logo.gif</url><title>Logo</title><link>http://www.example.com/</link>"
           "<width>100</width><height>40</height></image>\n"
           "<item><title>First video</title><link>http://www.example.com/watch?v=abc123</link>"
           "<guid isPermaLink=\"false\">tag:example.com,2008:video:abc123</guid>"
           "<pubDate>Mon, 01 Dec 2008 10:00:00 GMT</pubDate><author>someone</author>"
           "<category domain=\"http://example.com/tags\">music</category>"
           "<comments>http://www.example.com/comments?v=abc123</comments>"
           "<enclosure url=\"http://www.example.com/v/abc123.flv\" length=\"1234\" type=\"video/x-flv\"/>"
           "<description>&lt;b&gt;Loud&lt;/b&gt; guitars</description>"
           "<media:group><media:title type=\"plain\">First video</media:title>"
           "<media:description type=\"plain\">A concert recording</media:description>"
           "<media:keywords>live, guitar</media:keywords>"
           "<media:content url=\"http://www.example.com/v/abc123\" type=\"application/x-shockwave-flash\" "
           "medium=\"video\" isDefault=\"true\" expression=\"full\" duration=\"205\" yt:format=\"5\"/>"
           "<media:thumbnail url=\"http://img.example.com/vi/abc123/default.jpg\" width=\"130\" height=\"97\" time=\"00:01:42\"/>"
           "<media:category scheme=\"http://gdata.example.com/categories.cat\" label=\"Music\">Music</media:category>"
           "<media:player url=\"http://www.example.com/watch?v=abc123\"/>"
           "<media:credit role=\"uploader\" scheme=\"urn:example\">someone</media:credit>"
           "<media:rating scheme=\"urn:simple\">nonadult</media:rating>"
           "<media:restriction relationship=\"deny\" type=\"country\">xx</media:restriction>"
           "<yt:duration seconds=\"205\"/></media:group></item>\n"
           "<item><title>Second video</title><link>http://www.example.com/watch?v=def456</link>"
           "<media:group><yt:duration seconds=\"3725\"/>"
           "<media:thumbnail url=\"http://img.example.com/vi/def456/default.jpg\"/></media:group></item>\n"
           "</channel></rss>";
}

std::string entities_and_dublin_core_feed(int items)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                      "<channel><title>Caf&eacute; &amp; cr&egrave;me</title><link>http://www.example.com/</link>"
                      "<description>Entities&hellip;</description>\n";
    for (int i = 0; i < items; ++i) {
        const std::string n = std::to_string(i);
        xml += "<item><title>Cr&egrave;me br&ucirc;l&eacute;e&nbsp;" + n + " &ndash; &laquo;caf&eacute;&raquo;&hellip;</title>"
               "<link>http://www.example.com/post/" + n + "</link>"
               "<description>&lt;p&gt;Na&iuml;ve &amp;amp; fa&ccedil;ade &copy; " + n + "&lt;/p&gt;</description>"
               "<dc:creator>Ren&eacute;e " + n + "</dc:creator><dc:date>2008-12-01T10:00:00+01:00</dc:date>"
               "<dc:subject>D&eacute;j&agrave; vu</dc:subject></item>\n";
    }
    return xml + "</channel></rss>";
}

std::string generated_feed(int items)
{
    std::string xml = std::string(rss_open) +
                      "<channel><title>Generated</title><link>http://www.example.com/</link><description>many</description>\n";
    for (int i = 0; i < items; ++i)
        xml += item_xml(i);
    return xml + "</channel></rss>";
}
