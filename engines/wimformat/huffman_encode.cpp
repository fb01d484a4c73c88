#include "engines/wimformat/huffman_encode.h"

#include <algorithm>
#include <vector>

namespace wim {

void BuildCodeLengths(const uint32_t* freqs, unsigned count, unsigned maxLength, uint8_t* lengths) {
    std::vector<unsigned> used;
    used.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        lengths[i] = 0;
        if (freqs[i]) used.push_back(i);
    }
    if (used.size() < 2) {
        unsigned a = used.empty() ? 0 : used[0];
        unsigned b = a == 0 ? 1 : 0;
        lengths[a] = 1;
        lengths[b] = 1;
        return;
    }
    // Sort by frequency; ties by symbol so the result does not depend on the sort.
    std::sort(used.begin(), used.end(), [&](unsigned x, unsigned y) {
        return freqs[x] != freqs[y] ? freqs[x] < freqs[y] : x < y;
    });
    // Two-queue Huffman construction over the sorted leaves.
    size_t n = used.size();
    std::vector<uint64_t> weight(2 * n);
    std::vector<int> parent(2 * n, -1);
    for (size_t i = 0; i < n; ++i) weight[i] = freqs[used[i]];
    size_t leaf = 0, node = n, nextNode = n;
    auto takeSmallest = [&]() -> size_t {
        if (leaf < n && (node >= nextNode || weight[leaf] <= weight[node])) return leaf++;
        return node++;
    };
    for (size_t k = 0; k + 1 < n; ++k) {
        size_t a = takeSmallest();
        size_t b = takeSmallest();
        weight[nextNode] = weight[a] + weight[b];
        parent[a] = int(nextNode);
        parent[b] = int(nextNode);
        ++nextNode;
    }
    // Depths: the root is the last node.
    std::vector<unsigned> depth(2 * n, 0);
    for (size_t i = nextNode - 1; i-- > 0;) depth[i] = depth[size_t(parent[i])] + 1;
    // Count leaves per length, then limit the longest ones.
    std::vector<unsigned> perLength(64, 0);
    unsigned longest = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned d = std::min(depth[i], 63u);
        perLength[d]++;
        longest = std::max(longest, d);
    }
    for (unsigned i = longest; i > maxLength; --i) {
        while (perLength[i] > 0) {
            unsigned j = i - 2;
            while (j > 0 && perLength[j] == 0) --j;
            perLength[i] -= 2;
            perLength[i - 1] += 1;
            perLength[j + 1] += 2;
            perLength[j] -= 1;
        }
    }
    // The most frequent symbols (at the end of `used`) get the shortest codes.
    size_t idx = n;
    for (unsigned len = 1; len <= maxLength; ++len)
        for (unsigned k = 0; k < perLength[len]; ++k) lengths[used[--idx]] = uint8_t(len);
}

void CanonicalCodes(const uint8_t* lengths, unsigned count, uint32_t* codes) {
    unsigned perLength[33] = {0};
    for (unsigned i = 0; i < count; ++i) perLength[lengths[i]]++;
    perLength[0] = 0;
    uint32_t next[33] = {0};
    uint32_t code = 0;
    for (unsigned len = 1; len <= 32; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    for (unsigned i = 0; i < count; ++i) codes[i] = lengths[i] ? next[lengths[i]]++ : 0;
}

}  // namespace wim
