#pragma once
// Shared pieces of the fuzz targets: a failed invariant stops the run with a message, and the
// input is cut into feeds of varying size, as the port delivers it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tarvik::fuzz {

#define TARVIK_FUZZ_CHECK(cond)                                                                \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The first byte chooses the feed sizes (1..16, cycling through its bits); the rest is the data.
inline std::vector<std::string> SplitIntoFeeds(const uint8_t* data, size_t size, std::string& whole) {
    std::vector<std::string> feeds;
    whole.clear();
    if (size == 0) return feeds;
    const uint8_t pattern = data[0];
    whole.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t pos = 0;
    for (unsigned turn = 0; pos < whole.size(); ++turn) {
        const size_t len = 1 + ((pattern >> (turn % 5)) & 0x0F);
        feeds.push_back(whole.substr(pos, len));
        pos += len;
    }
    return feeds;
}

}  // namespace tarvik::fuzz
