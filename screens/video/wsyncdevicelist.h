#pragma once
// The device pane's list: rows of items queued for the device
// (wsyncdevicelistitem). Like the download list, the selected row whose
// download is not finished carries the play or pause mark.

#include "screens/video/wdownloadlist.h"

namespace UI {

class wsyncdevicelist : public wdownloadlist {
public:
    explicit wsyncdevicelist(std::string name) : wdownloadlist(std::move(name)) {}
};

}
