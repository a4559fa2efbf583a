// SPDX-License-Identifier: MIT
// The settings-file reader with its checks: any text either parses into a consistent image or
// is refused with a line number, and a parsed image written out again reads back the same.
#include "SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    r8::SettingsFile file;
    const std::string error = r8::ParseSettingsText(text, file);
    if (!error.empty()) {
        Check(error == "the file is empty" || error.starts_with("no records") ||
              error.starts_with("line "));
        // A message quotes the file's bytes escaped: nothing in it reaches a terminal raw.
        for (const char c : error)
            Check(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
        return 0;
    }
    Check(!file.records.empty() && file.hasEnd);
    Check(file.records.size() * 30 <= size);
    for (size_t i = 0; i + 1 < file.records.size(); ++i)
        Check(file.records[i][0] != 0xF1); // only the last record may end the file
    Check(file.hasEnd == (file.records.back()[0] == 0xF1));
    for (int32_t w : file.words)
        Check(w == r8::kNoWord || (w >= 0 && w <= 0xFFFF));

    const int missing = file.FirstMissingWord();
    const std::string blockError = r8::CheckBlockImage(file, "f");
    Check(blockError.empty() == (missing < 0));

    // Written out (missing words as 0) and read again: the same words, all present. The file
    // written carries words 0..1022 only, so a 03FF the text gave is the one word the copy
    // lacks.
    r8::WordImage words = file.words;
    for (int32_t& w : words)
        if (w == r8::kNoWord) w = 0;
    r8::SettingsFile again;
    Check(r8::ParseSettingsText(r8::SettingsFileText(words.data()), again).empty());
    Check(again.hasEnd && again.FirstMissingWord() < 0);
    const auto diff = r8::CompareImages(file.words, again.words);
    for (const auto& d : diff.differ) {
        if (d.address == r8::kEepromWords - 1)
            Check(d.first != r8::kNoWord && d.second == r8::kNoWord);
        else
            Check(d.first == r8::kNoWord && d.second == 0);
    }
    Check(static_cast<int>(diff.differ.size()) <= diff.compared);
    return 0;
}
