// SPDX-License-Identifier: MIT
// r8v5mc-ctl's `list` against a running simulated camera: the whole command (connection, one
// read per distinct request of the catalogue, the table) beside the wire minimum of its reads.
//
//   bench_ctl --port PATH [--runs N]
//
// The connection and the end of a run cost the same for any command, so the reads are timed as
// the difference between `list` and `raw 31 1A 01` (one read exchange), each the best of N
// runs: N - 1 exchanges for the N reads of the list. On a paced line (r8v5mc-sim --pace) they
// should come within 2 % of 40 byte-times per exchange at 9600 bit/s.
#include "Catalogue.h"
#include "CtlTool.h"
#include "Table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace r8;
constexpr double kExchangeMs = 40.0 * 10.0 / 9600.0 * 1e3;

// Milliseconds of the best of `runs` runs of the command; -1 when one fails.
double Best(const std::string& port, std::vector<std::string> words, int runs) {
    words.insert(words.begin(), {"--port", port});
    const CtlArgs args = ParseCtlArgs(words);
    std::FILE* null = std::fopen("/dev/null", "w");
    double best = -1;
    for (int k = 0; k < runs; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        const int code = RunCtlTool(args, ToolStreams{null, stderr});
        const double ms =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() * 1e3;
        if (code != kExitDone) {
            best = -1;
            break;
        }
        best = best < 0 ? ms : std::min(best, ms);
    }
    std::fclose(null);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: %s --port PATH [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "%s: --port PATH (a running r8v5mc-sim --pace) is needed\n", argv[0]);
        return 2;
    }
    std::set<std::vector<uint8_t>> reads;
    for (const SettingEntry* s : Catalogue()) {
        reads.insert(ReadPayload(*s));
        if (s->cameraRange.key.size != 0) {
            std::vector<uint8_t> p{0x31};
            for (int i = 0; i < s->cameraRange.key.size; ++i)
                p.push_back(s->cameraRange.key.bytes[static_cast<size_t>(i)]);
            reads.insert(p);
        }
    }
    const double list = Best(port, {"list"}, runs);
    const double one = Best(port, {"raw", "311A01"}, runs);
    if (list < 0 || one < 0) return 1;
    const int exchanges = static_cast<int>(reads.size()) - 1;
    const double ms = list - one;
    const double minimum = exchanges * kExchangeMs;
    const double efficiency = 100.0 * minimum / ms;
    char what[64];
    std::snprintf(what, sizeof what, "ctl list, %zu settings (%d reads), paced", Catalogue().size(),
                  exchanges + 1);
    bench::Row(what, bench::Fixed(list, 0, "ms"),
               bench::Fixed(minimum, 0, "ms") + " wire min (" + std::to_string(exchanges) + ")",
               bench::Fixed(efficiency, 2, "%"), ">= 98 %", bench::Verdict(efficiency >= 98.0));
    bench::Row("  of which the reads: list - raw (1 read)", bench::Fixed(ms, 1, "ms"),
               bench::Fixed(one, 0, "ms") + " for raw", "", "", "");
    return 0;
}
