#pragma once
// What the benchmarks share: a median of runs, a wall-clock stopwatch, a file read whole, and a
// peer's command timed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zenvira::bench {

using Clock = std::chrono::steady_clock;

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double secondsSince(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Runs a shell command (a peer's command line) and returns its wall time; a failure is said on
// standard error, so a broken peer is not mistaken for a fast one. `scratch`, when given, is
// emptied afterwards so the next run starts from nothing.
inline double timedCommand(const std::string& command, const std::string& scratch = {}) {
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double took = secondsSince(start);
    if (status != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    if (!scratch.empty()) {
        std::filesystem::remove_all(scratch);
        std::filesystem::create_directories(scratch);
    }
    return took;
}

}  // namespace zenvira::bench
