// Building canonical Huffman codes for the XPRESS and LZX encoders.
#pragma once

#include <cstdint>

namespace wim {

// Fills `lengths` with code lengths of at most `maxLength` for symbols with
// the given frequencies (0 = unused). The code is always complete: with fewer
// than two used symbols, symbols 0 and 1 are given length 1 as needed, since
// some readers refuse incomplete codes.
void BuildCodeLengths(const uint32_t* freqs, unsigned count, unsigned maxLength, uint8_t* lengths);

// Canonical codes (as the readers assign them) for the given lengths.
void CanonicalCodes(const uint8_t* lengths, unsigned count, uint32_t* codes);

}  // namespace wim
