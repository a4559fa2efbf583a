// SPDX-License-Identifier: MIT
#pragma once
// A command-line tool run in this process, its standard output and error caught as text.
#include "Session.h"
#include "ToolSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace r8::test {

struct ToolRun {
    int code = -1;
    std::string out, err;
    int Lines() const { return static_cast<int>(std::count(err.begin(), err.end(), '\n')); }
};

// run(streams) with both streams in memory; its result is the exit code.
template <class Run> ToolRun CaptureTool(Run run) {
    char* out = nullptr;
    char* err = nullptr;
    size_t outSize = 0, errSize = 0;
    std::FILE* o = open_memstream(&out, &outSize);
    std::FILE* e = open_memstream(&err, &errSize);
    ToolRun r;
    r.code = run(ToolStreams{o, e});
    std::fclose(o);
    std::fclose(e);
    r.out.assign(out, outSize);
    r.err.assign(err, errSize);
    std::free(out);
    std::free(err);
    return r;
}

// A tool (its parser and its run, e.g. ParseCtlArgs and RunCtlTool) on `port` with the given
// words; onStep, if given, runs after every turn of its loop.
template <class Parse, class RunTool>
ToolRun RunOnPort(Parse parse, RunTool run, const std::string& port, std::vector<std::string> words,
                  const std::function<void(Session&)>& onStep = {}) {
    words.insert(words.begin(), {"--port", port});
    const auto args = parse(words);
    EXPECT_EQ(args.error, "");
    return CaptureTool([&](const ToolStreams& io) { return run(args, io, -1, onStep); });
}

} // namespace r8::test
