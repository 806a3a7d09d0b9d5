// Parses APP13 blocks of 13 100 IPTC datasets (as many empty datasets as one
// segment holds) and reports the median time of one parse.
//
//   bench_iptc_parse
//
// "split": 6 550 Category datasets, then 6 550 Keywords that are joined into
// one entry standing behind them all; "single": 13 100 Category datasets,
// each an entry of its own.
#include "meta/iptc/iptc_data.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDatasets = 13100;  // 5 bytes each: 65 500, one APP13 segment
constexpr int kRuns = 21;         // median of these, after one warm-up
constexpr uint8_t kCategory = 15;  // as long a name as Keywords: no comparison ends at the length
constexpr uint8_t kKeywords = 25;

std::string Block(int singles)
{
    std::string records;
    for (int i = 0; i < kDatasets; ++i)
        records += std::string{'\x1C', 2, static_cast<char>(i < singles ? kCategory : kKeywords), 0, 0};
    const size_t n = records.size();
    std::string block = std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0", 22);
    block += std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                         static_cast<char>(n)};
    block += records;
    const size_t length = block.size() + 2;
    return std::string{static_cast<char>(length >> 8), static_cast<char>(length)} + block;
}

double MedianSeconds(const std::string& block, int32_t& entries)
{
    TIPTCdata container(nullptr);
    container.ParseSegment(block);  // warm-up
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        container.ParseSegment(block);
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    entries = container.TagCount();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    const struct {
        const char* name;
        int singles;
    } layouts[] = {{"split", kDatasets / 2}, {"single", kDatasets}};
    for (const auto& layout : layouts) {
        int32_t entries = 0;
        const double s = MedianSeconds(Block(layout.singles), entries);
        std::printf("%-7s %d datasets: %9.3f ms  (%d entries)\n", layout.name, kDatasets, s * 1e3, entries);
    }
    return 0;
}
