#pragma once
// The media types a Matroska track is offered with, by its type and codec id.

#include "platform/dshow/MediaType.h"
#include "splitter/matroska/MatroskaRecords.h"

#include <vector>

// Empty when the track cannot be offered: an unknown codec, or private data
// too short for what its codec needs.
std::vector<CMediaType> MatroskaTrackTypes(const MatroskaReader::TrackEntry& track);

// The packets of Xiph-laced private data (a count byte, 255-run sizes, the
// last packet the rest); false when a size runs past the end.
bool SplitXiphLaced(const std::vector<BYTE>& data, std::vector<std::vector<BYTE>>& packets);
