#include "splitter/base/Packet.h"

#include <algorithm>

void Packet::Append(std::span<const BYTE> bytes)
{
    const std::size_t wanted = data.size() + bytes.size();
    if (wanted > data.capacity()) data.reserve(std::max({wanted, std::size_t{1024}, data.capacity() * 2}));
    data.insert(data.end(), bytes.begin(), bytes.end());
}
