// The compressor of a solid run: encodes entry after entry, carrying over
// what the decoder carries over (window, copy history, code tables), and can
// take an entry back when the caller decides to store it instead.
#pragma once
#include <cstdint>
#include <vector>

#include "pack/match_finder.h"
#include "pack/pack_format.h"
#include "pack/parse.h"
#include "pack/symbol_coder.h"
#include "pack/tree_finder.h"

enum : int {
    kFastestLevel = 1,
    kDefaultLevel = 3,
    kBestLevel = 5,
};

// Called now and then with the number of input bytes of the current entry done.
typedef void (*PackProgress)(uint64_t bytesDone, void* userData);

struct SolidEncoder {
    int level;
    std::vector<uint8_t> history;  // the bytes the decoder's window has received, in order: the
                                   // last ones, at least a window before the current entry
                                   // (the older ones are dropped as the run grows)
    MatchFinder finder;            // the greedy and lazy levels' finder
    TreeFinder tree;               // the optimal levels' finder
    ParseLearning learning;        // what the optimal levels' parser has learnt of this run
    CopyHistory copies;
    TableState tables;
    bool started;                  // a compressed entry has been written: the next ones are solid
    uint32_t threads;              // threads the encoder may use (the output is the same for any count)
    PackProgress progress;
    void* progressData;
};

// What an entry changed, so that it can be taken back.
struct EncoderCheckpoint {
    size_t historySize;
    ParseLearning learning;
    CopyHistory copies;
    TableState tables;
    bool started;
};

void SolidEncoderInit(SolidEncoder* encoder, int level);

// Encodes one entry into packed (replacing its contents). The entry is solid
// (continues the encoder's state) exactly when encoder->started was set; the
// caller writes the header flag accordingly.
void EncodeEntry(SolidEncoder* encoder, const uint8_t* data, size_t size, std::vector<uint8_t>* packed,
                 EncoderCheckpoint* checkpoint);

// Takes the last encoded entry back (the caller stores it instead): the
// decoder never sees it, so the encoder forgets it too.
void RollbackEntry(SolidEncoder* encoder, const EncoderCheckpoint& checkpoint);
