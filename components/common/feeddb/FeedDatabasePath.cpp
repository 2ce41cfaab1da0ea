#include "components/common/feeddb/FeedDatabasePath.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "platform/fs/Folders.h"

namespace feeddb {

std::optional<std::string> feed_database_path()
{
    const std::optional<std::string> folder = plat::strimo_data_folder();
    if (!folder)
        return std::nullopt;
    return plat::join_path(*folder, CRSSDBMgr::FileName);
}

}
