#include "engines/wimformat/huffman.h"

#include <algorithm>

namespace wim {

bool HuffmanTable::Build(const uint8_t* lengths, unsigned symbolCount, unsigned tableBits,
                         unsigned maxLength) {
    if (tableBits > maxLength) tableBits = maxLength;
    tableBits_ = tableBits;
    maxLength_ = maxLength;
    unsigned count[33] = {0};
    for (unsigned s = 0; s < symbolCount; ++s) {
        if (lengths[s] > maxLength) return false;
        count[lengths[s]]++;
    }
    count[0] = 0;
    // Kraft check: over-subscribed codes cannot be decoded.
    uint64_t left = 1;
    for (unsigned len = 1; len <= maxLength; ++len) {
        left <<= 1;
        if (count[len] > left) return false;
        left -= count[len];
    }
    // First code of each length, canonical order (length, then symbol).
    uint32_t next[33] = {0};
    uint32_t code = 0;
    for (unsigned len = 1; len <= maxLength; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    // Secondary table widths: the longest code under each primary prefix. Only the
    // prefixes that have a sub-table are listed and visited; subWidth is all zero
    // between builds (the listed entries are cleared at the end).
    std::vector<uint8_t>& subWidth = subWidth_;
    std::vector<uint32_t>& codes = codes_;
    std::vector<uint32_t>& subPrefixes = subPrefixes_;
    if (subWidth.size() != size_t(1) << tableBits) subWidth.assign(size_t(1) << tableBits, 0);
    subPrefixes.clear();
    codes.resize(symbolCount);
    {
        uint32_t n2[33];
        for (int i = 0; i < 33; ++i) n2[i] = next[i];
        for (unsigned s = 0; s < symbolCount; ++s) {
            unsigned len = lengths[s];
            if (!len) continue;
            codes[s] = n2[len]++;
            if (len > tableBits) {
                uint32_t prefix = codes[s] >> (len - tableBits);
                unsigned w = len - tableBits;
                if (!subWidth[prefix]) subPrefixes.push_back(prefix);
                if (w > subWidth[prefix]) subWidth[prefix] = uint8_t(w);
            }
        }
    }
    size_t total = size_t(1) << tableBits;
    std::vector<uint32_t>& subStart = subStart_;
    subStart.resize(size_t(1) << tableBits);  // read only where a sub-table starts
    for (uint32_t p : subPrefixes) {
        subStart[p] = uint32_t(total);
        total += size_t(1) << subWidth[p];
    }
    table_.resize(total);
    // A complete code writes every entry below; only gaps of an incomplete one need
    // clearing (they decode as invalid).
    if (left != 0) std::fill(table_.begin(), table_.end(), 0u);
    for (uint32_t p : subPrefixes) table_[p] = kSubtable | (subStart[p] << 8) | subWidth[p];
    for (unsigned s = 0; s < symbolCount; ++s) {
        unsigned len = lengths[s];
        if (!len) continue;
        uint32_t entry = (uint32_t(s) << 8) | len;
        if (len <= tableBits) {
            uint32_t first = codes[s] << (tableBits - len);
            uint32_t n = 1u << (tableBits - len);
            for (uint32_t i = 0; i < n; ++i) table_[first + i] = entry;
        } else {
            uint32_t prefix = codes[s] >> (len - tableBits);
            unsigned w = subWidth[prefix];
            uint32_t rest = codes[s] & ((1u << (len - tableBits)) - 1);
            uint32_t first = subStart[prefix] + (rest << (w - (len - tableBits)));
            uint32_t n = 1u << (w - (len - tableBits));
            for (uint32_t i = 0; i < n; ++i) table_[first + i] = entry;
        }
    }
    for (uint32_t p : subPrefixes) subWidth[p] = 0;
    return true;
}

}  // namespace wim
