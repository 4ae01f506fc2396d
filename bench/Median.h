#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// How many times each figure is measured; the median is quoted.
constexpr int Runs = 31;

// The median wall time of runs calls of run, in milliseconds.
inline double medianMs(const std::function<void()>& run, int runs = Runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
