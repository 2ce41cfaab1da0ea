#include "downloader/zephrol/SegmentAllocator.h"
