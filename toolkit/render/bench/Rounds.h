#pragma once
// Frame rates of two ways to draw, measured in alternating short rounds so
// that other work on the machine weighs on both alike; each rate is the median
// of its rounds.

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

struct Rates {
    double ours;
    double rival;
};

template <class Frame>
double round_rate(Frame& frame, int& count, std::chrono::milliseconds length)
{
    int frames = 0;
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < length) {
        frame(++count);
        ++frames;
    }
    return frames / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `frame(n)` draws frame n; both are warmed once first.
template <class Ours, class Rival>
Rates interleaved_rates(Ours&& ours, Rival&& rival, int rounds = 12,
                        std::chrono::milliseconds length = std::chrono::milliseconds(250))
{
    int ours_count = 0, rival_count = 0;
    ours(0);
    rival(0);
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        a.push_back(round_rate(ours, ours_count, length));
        b.push_back(round_rate(rival, rival_count, length));
    }
    auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    return Rates{median(a), median(b)};
}

}
