#include "pack/solid_encoder.h"

#include <cstring>

#include "pack/bit_output.h"
#include "pack/parse.h"

namespace {

struct LevelSettings {
    uint32_t depth;       // candidates per match search
    uint32_t niceLength;  // a copy this long is taken at once
    int parser;           // 0 greedy, 1 lazy, 2 optimal
    uint32_t passes;      // optimal parser: passes over each stretch
    uint32_t blockTokens; // tokens weighed at a time for a new table block
    uint32_t stretch;     // input bytes parsed, then coded, at a time
};

// The optimal levels code each stretch with one table block of its own when
// that pays, so that the prices of their later passes are the real ones.
const LevelSettings kLevels[6] = {
    {0, 0, 0, 0, 0, 0},
    {4, 32, 0, 1, 16384, 1u << 17},          // 1: fastest, greedy
    {16, 32, 0, 1, 16384, 1u << 17},         // 2: greedy, deeper search
    {8, 32, 1, 1, 16384, 1u << 17},          // 3: default, lazy
    {48, 128, 2, 2, 1u << 20, 1u << 15},     // 4: near-optimal
    {256, 258, 2, 4, 1u << 20, 1u << 15},   // 5: best
};

// Only the level's own finder holds tables.
void ResetFinders(SolidEncoder* encoder) {
    const LevelSettings& settings = kLevels[encoder->level];
    if (settings.parser == 2) {
        TreeFinderInit(&encoder->tree, settings.depth, settings.niceLength);
        encoder->finder = MatchFinder();
    } else {
        MatchFinderInit(&encoder->finder, settings.depth, settings.niceLength);
        encoder->tree = TreeFinder();
    }
}

}  // namespace

void SolidEncoderInit(SolidEncoder* encoder, int level) {
    if (level < kFastestLevel) level = kFastestLevel;
    if (level > kBestLevel) level = kBestLevel;
    encoder->level = level;
    encoder->history.clear();
    ResetFinders(encoder);
    std::memset(&encoder->copies, 0, sizeof(encoder->copies));
    std::memset(&encoder->tables, 0, sizeof(encoder->tables));
    encoder->started = false;
    encoder->progress = nullptr;
    encoder->progressData = nullptr;
}

void EncodeEntry(SolidEncoder* encoder, const uint8_t* data, size_t size, std::vector<uint8_t>* packed,
                 EncoderCheckpoint* checkpoint) {
    const LevelSettings& settings = kLevels[encoder->level];
    const bool solid = encoder->started;
    if (!solid && !encoder->history.empty()) {
        // A non-solid entry starts the decoder's window afresh.
        encoder->history.clear();
        ResetFinders(encoder);
    }
    checkpoint->historySize = encoder->history.size();
    checkpoint->copies = encoder->copies;
    checkpoint->tables = encoder->tables;
    checkpoint->started = encoder->started;

    if (!solid) {
        // A non-solid entry starts the decoder afresh: no copy history, no
        // previous lengths; its first table block is read unasked.
        std::memset(&encoder->copies, 0, sizeof(encoder->copies));
        std::memset(encoder->tables.previousLengths, 0, sizeof(encoder->tables.previousLengths));
        encoder->tables.haveTables = false;
    }
    const uint32_t begin = static_cast<uint32_t>(encoder->history.size());
    encoder->history.insert(encoder->history.end(), data, data + size);
    encoder->started = true;

    packed->clear();
    BitOutput output;
    BitOutputInit(&output, packed);
    BlockCoderOptions coderOptions = {settings.blockTokens};
    std::vector<Token> tokens;
    uint32_t prices[kTableLengthCount];
    bool firstBlock = !solid;
    const uint32_t end = begin + static_cast<uint32_t>(size);
    if (size == 0 && firstBlock) {
        CodeTokens(&output, nullptr, 0, nullptr, &encoder->copies, &encoder->tables, true, coderOptions);
    }
    for (uint32_t stretch = begin; stretch < end;) {
        uint32_t stretchEnd = end - stretch > settings.stretch ? stretch + settings.stretch : end;
        if (encoder->tables.haveTables) {
            uint32_t absent = settings.parser == 2 ? kUnusedSymbolGuess : kUnusedSymbolPrice;
            PricesFromLengths(encoder->tables.lengths, absent, prices);
        } else {
            for (uint32_t i = 0; i < kTableLengthCount; ++i) prices[i] = i < 256 ? 8 : 6;
        }
        ParseInput input = {encoder->history.data(), stretch, stretchEnd, 0, &encoder->finder, prices,
                            &encoder->tables, &encoder->tree, static_cast<uint32_t>(encoder->history.size())};
        CopyHistory copies = encoder->copies;
        tokens.clear();
        if (settings.parser == 2) {
            ParseOptimal(input, settings.passes, &copies, &tokens);
        } else {
            ParseGreedy(input, settings.parser == 1, &copies, &tokens);
        }
        CodeTokens(&output, tokens.data(), tokens.size(), encoder->history.data() + stretch, &encoder->copies,
                   &encoder->tables, firstBlock, coderOptions);
        firstBlock = false;
        stretch = stretchEnd;
        if (encoder->progress) encoder->progress(stretch - begin, encoder->progressData);
    }
    // Nothing follows the last symbol: the decoder's end-of-entry check then
    // finds fewer than 5 bytes left and reads no symbol from the padding.
    FlushBits(&output);
}

void RollbackEntry(SolidEncoder* encoder, const EncoderCheckpoint& checkpoint) {
    if (kLevels[encoder->level].parser == 2) {
        TreeFinderRollback(&encoder->tree, encoder->history.data(), static_cast<uint32_t>(checkpoint.historySize));
    } else {
        MatchFinderRollback(&encoder->finder, encoder->history.data(),
                            static_cast<uint32_t>(checkpoint.historySize));
    }
    encoder->history.resize(checkpoint.historySize);
    encoder->copies = checkpoint.copies;
    encoder->tables = checkpoint.tables;
    encoder->started = checkpoint.started;
}
