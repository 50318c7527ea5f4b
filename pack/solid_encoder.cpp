#include "pack/solid_encoder.h"

#include <cstring>
#include <thread>

#include "pack/bit_output.h"
#include "pack/match_pipeline.h"
#include "pack/parse.h"

namespace {

enum Parser { kFastParse, kGreedyParse, kLazyParse, kOptimalParse };

struct LevelSettings {
    uint32_t depth;       // candidates per match search
    uint32_t niceLength;  // a copy this long is taken at once (by the optimal levels, unless
                          // optimal.wholeLength is set; their finder compares no further)
    uint32_t passOver;    // the tree finder passes over what a match this long covers (0: never)
    Parser parser;
    OptimalOptions optimal;     // optimal parser: planning, passes and second arrivals
    BlockCoderOptions coder;    // tokens weighed at a time for a new table block, and how tables are built
    uint32_t stretch;        // input bytes parsed, then coded, at a time
};

// The optimal levels code each stretch with one table block of its own when
// that pays, so that the prices of their later passes are the real ones.
const LevelSettings kLevels[6] = {
    {0, 0, 0, kFastParse, {}, {0, false, 0, 0, 0}, 0},
    {1, 32, 0, kFastParse, {}, {16384, false, 0, 0, 0}, 1u << 17},     // 1: fastest: one probe a position
    {16, 32, 0, kGreedyParse, {}, {16384, false, 0, 0, 0}, 1u << 17},  // 2: greedy, deeper search
    {4, 64, 0, kLazyParse, {}, {16384, false, 0, 0, 0}, 1u << 17},     // 3: default, lazy
    // 4: near-optimal, one pass. A copy of 96 bytes or more is taken whole,
    // and the finder passes over what it covers: weighing each length of
    // those up to 128 (where the finder stops) cost 4% more work for 0.015%
    // less output, and searching the positions they cover 2% more for
    // 0.04%. Its tables are pulled once, by half, towards the previous ones
    // (more pulls gained next to nothing) and balanced once. Stretches of
    // 128 KB: half as many blocks to plan and tables to build as with 64 KB,
    // for 0.04% more output; the second balancing round was worth 0.04%
    // for 2% of the work.
    {24, 128, 96, kOptimalParse, {true, 1, false, 96}, {1u << 20, true, 1, 1, 1}, 1u << 17},
    {256, 255, 0, kOptimalParse, {true, 2, true, 0}, {1u << 20, true, 0, 5, 2}, 1u << 16},  // 5: best
};

// History is dropped in steps of this size, a multiple of both finders'
// rings, so that every position the finders hold keeps its ring slot.
const uint32_t kDropStep = 1u << 21;
static_assert(kDropStep % static_cast<uint32_t>(kChainRing) == 0 && kDropStep % static_cast<uint32_t>(kTreeRing) == 0,
              "both rings divide the drop step");
// History beyond one window and this much is dropped before an entry.
const uint32_t kDropSlack = kDropStep;

// Drops the history no copy of the next entry can reach (more than a
// window back), so that memory stays bounded however long the solid run
// grows. Positions in the finders move down with it.
void DropOldHistory(SolidEncoder* encoder) {
    const size_t size = encoder->history.size();
    if (size < kWindowSize + kDropSlack) return;
    const uint32_t shift = static_cast<uint32_t>((size - kWindowSize) / kDropStep * kDropStep);
    encoder->history.erase(encoder->history.begin(), encoder->history.begin() + shift);
    if (kLevels[encoder->level].parser == kOptimalParse) {
        TreeFinderRebase(&encoder->tree, shift);
    } else {
        MatchFinderRebase(&encoder->finder, shift);
    }
}

// Only the level's own finder holds tables.
void ResetFinders(SolidEncoder* encoder) {
    const LevelSettings& settings = kLevels[encoder->level];
    if (settings.parser == kOptimalParse) {
        TreeFinderInit(&encoder->tree, settings.depth, settings.niceLength, settings.passOver);
        encoder->finder = MatchFinder();
    } else {
        MatchFinderInit(&encoder->finder, settings.depth, settings.niceLength,
                        settings.parser == kFastParse ? kFastHashBits : kChainHashBits,
                        settings.parser == kFastParse ? 5 : 4);
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
    std::memset(&encoder->learning, 0, sizeof(encoder->learning));
    std::memset(&encoder->copies, 0, sizeof(encoder->copies));
    std::memset(&encoder->tables, 0, sizeof(encoder->tables));
    encoder->started = false;
    encoder->progress = nullptr;
    unsigned cores = std::thread::hardware_concurrency();
    encoder->threads = cores == 0 ? 1 : cores;
    encoder->progressData = nullptr;
}

void EncodeEntry(SolidEncoder* encoder, const uint8_t* data, size_t size, std::vector<uint8_t>* packed,
                 EncoderCheckpoint* checkpoint) {
    const LevelSettings& settings = kLevels[encoder->level];
    const bool solid = encoder->started;
    if (!solid && !encoder->history.empty()) {
        // A non-solid entry starts the decoder's window afresh; it is coded
        // as if it came first, whatever came before.
        encoder->history.clear();
        ResetFinders(encoder);
        std::memset(&encoder->learning, 0, sizeof(encoder->learning));
    }
    DropOldHistory(encoder);
    checkpoint->historySize = encoder->history.size();
    checkpoint->learning = encoder->learning;
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
    const BlockCoderOptions& coderOptions = settings.coder;
    std::vector<Token> tokens;
    uint32_t prices[kTableLengthCount];
    bool firstBlock = !solid;
    const uint32_t end = begin + static_cast<uint32_t>(size);
    if (size == 0 && firstBlock) {
        CodeTokens(&output, nullptr, 0, nullptr, &encoder->copies, &encoder->tables, true, coderOptions);
    }
    const uint32_t historySize = static_cast<uint32_t>(encoder->history.size());
    // The whole entry; it is parsed and coded a stretch at a time.
    const ParseInput whole = {encoder->history.data(), begin,  end,           0,          &encoder->finder,
                              prices,                  &encoder->tables, &encoder->tree, historySize,
                              &encoder->learning};
    // The optimal levels find the matches of the stretches ahead while this
    // one is parsed and coded: the finder reads only the history, so the
    // result is the same with or without the second thread.
    const bool optimal = settings.parser == kOptimalParse;
    StretchMatches matches;
    MatchPipeline pipeline;
    if (optimal) MatchPipelineStart(&pipeline, whole, settings.stretch, encoder->threads > 1);
    std::vector<size_t> blockStarts;
    for (uint32_t stretch = begin; stretch < end;) {
        const ParseInput input = StretchOf(whole, stretch, settings.stretch);
        const uint32_t stretchEnd = input.end;
        if (optimal) MatchPipelineNext(&pipeline, &matches);
        if (encoder->tables.haveTables) {
            PricesFromLengths(encoder->tables.lengths, optimal ? kUnusedSymbolGuess : kUnusedSymbolPrice, prices);
        } else {
            for (uint32_t i = 0; i < kTableLengthCount; ++i) prices[i] = i < 256 ? 8 : 6;
        }
        CopyHistory copies = encoder->copies;
        tokens.clear();
        blockStarts.clear();
        if (optimal) {
            ParseOptimal(input, matches, settings.optimal, &copies, &tokens, &blockStarts);
        } else {
            if (settings.parser == kFastParse) {
                ParseFast(input, &copies, &tokens);
            } else {
                ParseGreedy(input, settings.parser == kLazyParse, &copies, &tokens);
            }
            blockStarts.push_back(0);
        }
        // Each planned block is weighed for a table of its own.
        blockStarts.push_back(tokens.size());
        const uint8_t* blockData = encoder->history.data() + stretch;
        for (size_t b = 0; b + 1 < blockStarts.size(); ++b) {
            const Token* first = tokens.data() + blockStarts[b];
            const size_t count = blockStarts[b + 1] - blockStarts[b];
            CodeTokens(&output, first, count, blockData, &encoder->copies, &encoder->tables, firstBlock, coderOptions);
            for (size_t t = 0; t < count; ++t) blockData += first[t].length;
            firstBlock = false;
        }
        stretch = stretchEnd;
        if (encoder->progress) encoder->progress(stretch - begin, encoder->progressData);
    }
    // Nothing follows the last symbol: the decoder's end-of-entry check then
    // finds fewer than 5 bytes left and reads no symbol from the padding.
    FlushBits(&output);
}

void RollbackEntry(SolidEncoder* encoder, const EncoderCheckpoint& checkpoint) {
    if (kLevels[encoder->level].parser == kOptimalParse) {
        TreeFinderRollback(&encoder->tree, encoder->history.data(), static_cast<uint32_t>(checkpoint.historySize));
    } else {
        MatchFinderRollback(&encoder->finder, encoder->history.data(),
                            static_cast<uint32_t>(checkpoint.historySize));
    }
    encoder->history.resize(checkpoint.historySize);
    encoder->learning = checkpoint.learning;
    encoder->copies = checkpoint.copies;
    encoder->tables = checkpoint.tables;
    encoder->started = checkpoint.started;
}
