// The optimal levels' matches, found ahead of the parse: a thread of its own
// walks the stretches of an entry in order and keeps a few of them ready, so
// that a stretch that takes longer to search than to parse (or the other
// way round) does not hold up the other side. The matches of each stretch
// are the same as FindStretchMatches gives, on one thread or two.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "pack/parse.h"

struct MatchPipeline {
    ParseInput input;        // the entry's input; each stretch is begin..end within it
    uint32_t stretch;        // bytes a stretch
    uint32_t nextBegin;      // the next stretch to search (on this thread when there is no other)
    std::thread worker;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<StretchMatches> ready;  // searched, not yet taken, in order
    bool stop;

    ~MatchPipeline();  // stops and joins the worker
};

// Starts finding the matches of the stretches of input.begin..input.end
// (stretch bytes each, the last one shorter), on a second thread when
// useThread is set and one can be had.
void MatchPipelineStart(MatchPipeline* pipeline, const ParseInput& input, uint32_t stretch, bool useThread);

// The next stretch's matches, in order; waits for them when they are not
// ready yet. Must not be asked for more stretches than there are.
void MatchPipelineNext(MatchPipeline* pipeline, StretchMatches* out);
