#include "pack/match_pipeline.h"

#include <system_error>

namespace {

const size_t kStretchesAhead = 3;  // matches kept ready: enough to even out the stretches

void FindAhead(MatchPipeline* pipeline) {
    for (uint32_t begin = pipeline->input.begin; begin < pipeline->input.end; begin += pipeline->stretch) {
        StretchMatches found;
        FindStretchMatches(StretchOf(pipeline->input, begin, pipeline->stretch), &found);
        std::unique_lock<std::mutex> hold(pipeline->lock);
        pipeline->changed.wait(hold, [&] { return pipeline->stop || pipeline->ready.size() < kStretchesAhead; });
        if (pipeline->stop) return;
        pipeline->ready.push_back(std::move(found));
        pipeline->changed.notify_all();
    }
}

}  // namespace

MatchPipeline::~MatchPipeline() {
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> hold(lock);
            stop = true;
        }
        changed.notify_all();
        worker.join();
    }
}

void MatchPipelineStart(MatchPipeline* pipeline, const ParseInput& input, uint32_t stretch, bool useThread) {
    pipeline->input = input;
    pipeline->stretch = stretch;
    pipeline->nextBegin = input.begin;
    pipeline->stop = false;
    pipeline->ready.clear();
    if (useThread && input.begin < input.end) {
        try {
            pipeline->worker = std::thread(FindAhead, pipeline);
        } catch (const std::system_error&) {
            // No thread to be had: each stretch is searched when it is asked for.
        }
    }
}

void MatchPipelineNext(MatchPipeline* pipeline, StretchMatches* out) {
    if (!pipeline->worker.joinable()) {
        FindStretchMatches(StretchOf(pipeline->input, pipeline->nextBegin, pipeline->stretch), out);
        pipeline->nextBegin += pipeline->stretch;
        return;
    }
    std::unique_lock<std::mutex> hold(pipeline->lock);
    pipeline->changed.wait(hold, [&] { return !pipeline->ready.empty(); });
    *out = std::move(pipeline->ready.front());
    pipeline->ready.pop_front();
    pipeline->changed.notify_all();
}
