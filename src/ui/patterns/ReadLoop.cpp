// SPDX-License-Identifier: MIT
#include "ReadLoop.h"

#include <algorithm>

namespace r8::ui {

ReadLoop::ReadLoop(int perAnswer, int perRow, int digits)
    : perAnswer_(perAnswer), perRow_(perRow), digits_(digits) {}

void ReadLoop::Start(int want) {
    want_ = want;
    ++pass_;
    values_.clear();
    running_ = true;
}

bool ReadLoop::Add(std::initializer_list<int> values) {
    values_.insert(values_.end(), values.begin(), values.end());
    if (Complete()) running_ = false;
    return !running_;
}

bool ReadLoop::Complete() const {
    return Count() + perAnswer_ > want_;
}

std::vector<std::string> ReadLoop::Rows() const {
    static const char* const kDigits = "0123456789ABCDEF";
    std::vector<std::string> rows;
    for (int start = 0; start < want_; start += perRow_) {
        std::string row;
        const int end = std::min(start + perRow_, Count());
        for (int i = start; i < end; ++i) {
            for (int d = digits_ - 1; d >= 0; --d)
                row += kDigits[(values_[static_cast<size_t>(i)] >> (4 * d)) & 15];
            row += ' ';
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace r8::ui
