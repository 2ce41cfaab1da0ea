#pragma once
// The plain records of a feed channel and a feed item. The feed parser keeps
// every property it reads in them, and the feed database fills them from its
// rows, so a parsed item moves into a database record by plain assignment.
// Every text is UTF-8.

#include <cstdint>
#include <string>

namespace RSSData {

struct tRSSBaseObj {
    std::int64_t id{0};     // the row's id; 0 until stored
    std::int32_t type{0};   // the row's kind: 2 channel, 3 item
    // A channel's folder id, or an item's status (low 32 bits, ItemStatus).
    std::int64_t data{0};
};

// What an item's status says of its video. Only the prefetch manager writes
// the retries: a failed fetch climbs RetryFirst .. RetryLast, then GaveUp.
namespace ItemStatus {
inline constexpr std::int32_t New = 0;
inline constexpr std::int32_t RetryFirst = 80;
inline constexpr std::int32_t RetryThird = 83;
inline constexpr std::int32_t RetryLast = 89;
inline constexpr std::int32_t GaveUp = 90;
inline constexpr std::int32_t Downloading = 768;
inline constexpr std::int32_t StandardQuality = 1024;   // downloaded in standard quality
inline constexpr std::int32_t HighQuality = 1280;       // downloaded in high quality
}

struct tRSSChannel : tRSSBaseObj {
    tRSSChannel() { type = 2; }

    std::int64_t folder_id() const { return data; }
    void set_folder_id(std::int64_t folder) { data = folder; }

    std::string feed_url;
    std::int64_t last_update_time{0};   // FILETIME
    bool can_auto_update{true};
    bool can_prefetch{false};
    bool is_predefine{true};
    bool disabled{false};
    bool mark_delete{false};
    std::int32_t item_capability{200};

    // Stored: title, link and description. The rest live in memory only.
    std::string title, link, description, language, copyright, managingEditor, webMaster, pubDate, lastBuildDate,
        category, category_domain, generator, docs, cloud, ttl, image_title, image_url, image_link, image_width,
        image_height, rating, textInput_title, textInput_link, textInput_name, textInput_description, skipHours,
        skipDays;
};

struct tRSSItem : tRSSBaseObj {
    tRSSItem() { type = 3; }

    std::int32_t status() const { return static_cast<std::int32_t>(data); }
    void set_status(std::int32_t value) { data = value; }

    std::int64_t folder_id{0};
    std::int64_t channel_id{0};     // 0 or less: none
    std::int64_t reference_id{0};   // 0 or less: none
    std::string original_description;   // memory only
    std::string display_description;    // plain text here; stored encoded
    std::string original_media_url;
    std::string convert_media_url;
    std::string local_media_file_path;
    std::string local_thumb_file_path;
    std::int64_t create_time{0};   // FILETIME
    std::int64_t modify_time{0};   // FILETIME
    bool mark_delete{false};
    bool mark_read{false};
    bool mark_favorite{false};
    bool can_prefetch{false};
    bool mark_hd{false};

    // The feed item's properties in dispatch order. Stored: title, link and
    // media_thumbnail_url. The rest live in memory only.
    std::string title, link, description, author, source, source_url, category, category_domain, comments,
        enclosure_url, enclosure_length, enclosure_type, pubDate, guid, guid_isPermaLink, media_content_url,
        media_content_fileSize, media_content_type, media_content_medium, media_content_isDefault,
        media_content_expression, media_content_bitrate, media_content_framerate, media_content_samplingrate,
        media_content_channels, media_content_duration, media_content_height, media_content_width,
        media_content_lang, media_adult, media_rating, media_rating_scheme, media_title, media_title_type,
        media_description, media_description_type, media_keywords, media_thumbnail_url, media_thumbnail_width,
        media_thumbnail_height, media_thumbnail_time, media_category, media_category_scheme, media_category_label,
        media_hash, media_hash_algo, media_player, media_player_width, media_player_height, media_credit,
        media_credit_role, media_credit_schema, media_copyright, media_copyright_url, media_text, media_text_type,
        media_text_lang, media_text_start, media_text_end, media_restriction, media_restriction_relationship,
        media_restriction_type;
};

}
