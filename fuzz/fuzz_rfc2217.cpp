// SPDX-License-Identifier: MIT
// The COM-PORT-OPTION client's decoder on whatever a server may send: the same result whether
// the bytes come at once or one by one, no more data out than came in, answers that are whole
// three-byte negotiations, and data escaped by the client's own rule coming back unchanged.
#include "Rfc2217.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace r8::rfc2217;
    std::vector<uint8_t> wholeData, wholeReplies, splitData, splitReplies;
    Decoder whole;
    whole.Feed(data, size, wholeData, wholeReplies);
    Decoder split;
    for (size_t i = 0; i < size; ++i)
        split.Feed(data + i, 1, splitData, splitReplies);
    Check(wholeData == splitData);
    Check(wholeReplies == splitReplies);
    Check(whole.ModemState() == split.ModemState());
    Check(whole.ComPortState() == split.ComPortState());
    for (uint8_t r = kSetBaudRate; r <= kSetControl; ++r)
        Check(whole.Answered(r) == split.Answered(r));
    Check(wholeData.size() <= size);
    Check(wholeReplies.size() % 3 == 0);
    for (size_t i = 0; i < wholeReplies.size(); i += 3) {
        Check(wholeReplies[i] == IAC);
        const uint8_t verb = wholeReplies[i + 1];
        Check(verb == WILL || verb == WONT || verb == DO || verb == DONT);
    }

    // Anything the client escapes comes out of a fresh decoder as it went in.
    std::vector<uint8_t> escaped, back, replies;
    AppendEscaped(data, size, escaped);
    Decoder fresh;
    fresh.Feed(escaped.data(), escaped.size(), back, replies);
    Check(back == std::vector<uint8_t>(data, data + size));
    Check(replies.empty());
    return 0;
}
