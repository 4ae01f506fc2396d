#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// How many times each figure is measured; the median is quoted.
constexpr int Runs = 31;

// The middle one of a set of figures.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
    return median(std::move(times));
}

// The wall time of one call of run, in milliseconds.
inline double timedMs(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}
