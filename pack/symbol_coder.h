// From copies to symbols: the cheapest symbol for each copy under the code
// lengths in force, and the coding of a run of copies and literals into the
// bit stream, with a new table block whenever the statistics have drifted
// enough to pay for one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/bit_output.h"
#include "pack/pack_format.h"

// One step of the parse: a literal (distance 0, length 1) or a copy.
struct Token {
    uint32_t length;
    uint32_t distance;
};

// One coded step: a literal-table symbol with its extra bits, then for long
// copies a distance symbol and for recent-distance copies a length symbol,
// each with its extra bits.
struct CodedSymbol {
    uint16_t main;
    uint8_t mainExtraBits;
    uint16_t second;  // index into the 374 table lengths, or kNoSecond
    uint32_t mainExtra;
    uint32_t secondExtra;
    uint8_t secondExtraBits;
};

// The code lengths the decoder holds and what they cost the encoder.
struct TableState {
    uint8_t lengths[kTableLengthCount];          // 0..297 literals, 298..345 distances, 346..373 recent lengths
    uint16_t codes[kTableLengthCount];
    uint8_t previousLengths[kTableLengthCount];  // the decoder's base for the next block
    bool haveTables;                             // a table block was read since the last reset
    uint32_t blocksSent;                         // table blocks written so far (for statistics)
};

enum : uint32_t {
    kDistanceTableOffset = kLiteralAlphabet,
    kRecentTableOffset = kLiteralAlphabet + kDistanceAlphabet,
    kUnusedSymbolPrice = 12,   // bits assumed for a symbol the current code lacks
    kUnusedSymbolGuess = 9,    // the same for the optimal parser, which may well bring it in
    kImpossiblePrice = 1u << 20,
    kNoSecond = 0xFFFF,
};

// Prices in bits of the 374 symbols; symbols without a code cost `absentPrice`.
void PricesFromLengths(const uint8_t* lengths, uint32_t absentPrice, uint32_t* prices);

// The cheapest way to send a copy in the given history. Returns its price
// (symbol and extra bits), or kImpossiblePrice when the format cannot send it.
uint32_t ChooseCopySymbol(uint32_t length, uint32_t distance, const CopyHistory& history, const uint32_t* prices,
                          CodedSymbol* out);

// Counts the symbols that tokens would be sent with under the given prices.
void CountTokenSymbols(const Token* tokens, size_t count, const uint8_t* data, CopyHistory history,
                       const uint32_t* prices, uint32_t* counts);
// Code lengths for the given symbol counts, with room kept for symbol 269.
void BuildTablesFromCounts(const uint32_t* counts, uint8_t* lengths);
// Bits of a table block sending these lengths (against previousLengths) and
// of the counted symbols under them, their extra bits aside.
uint64_t TableAndSymbolBits(const uint32_t* counts, const uint8_t* lengths, const uint8_t* previousLengths);

struct BlockCoderOptions {
    uint32_t blockTokens;  // tokens weighed at a time for a new table block
    // Also weigh codes drawn towards the previous block's lengths, and codes
    // whose lengths are weighed against what sending them costs (a few more
    // builds a block, worth it where the parse is the slow part).
    bool drawTables;
    // The pulls towards the previous lengths tried when drawTables is set:
    // 1/2^shift of the symbols' weight, for each shift from the first to the last.
    uint32_t firstPullShift;
    uint32_t lastPullShift;
    // Then, when drawTables is set, this many rounds of lengths weighed
    // against the prices of their changes, each priced by the block before.
    uint32_t balanceRounds;
};

// Codes tokens (whose bytes start at data) into the writer, continuing the
// history and tables. forceTables: a table block must come first without
// symbol 269 (the start of a non-solid entry).
void CodeTokens(BitOutput* writer, const Token* tokens, size_t count, const uint8_t* data, CopyHistory* history,
                TableState* tables, bool forceTables, const BlockCoderOptions& options);
