// SPDX-License-Identifier: MIT
#pragma once
// A read repeated one request per answer that collects the values of the answers and shows
// them as rows of hexadecimal text (a RAM dump, the area samples). It only keeps count: the
// room sends each request as a chain step (ChainStep.h) and puts the rows where they belong.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace r8::ui {

class ReadLoop {
public:
    // perAnswer values come with each answer; a row holds perRow values, each shown as `digits`
    // upper-case hexadecimal digits followed by one blank.
    ReadLoop(int perAnswer, int perRow, int digits);

    // Forgets what was collected; `want` values make a complete pass.
    void Start(int want);
    // Which pass runs: a reply to a step of an earlier pass (the operator started another one
    // meanwhile) is not this pass's.
    int Pass() const { return pass_; }
    bool Runs(int pass) const { return running_ && pass == pass_; }
    // A pass was started and has not completed: an answer that comes now is the loop's. An
    // answer while no pass runs (a read typed as a raw command) is none of its business.
    bool Running() const { return running_; }
    // Ends the pass before its count (the dump reached the end of RAM).
    void Stop() { running_ = false; }
    // Adds the values of one answer. True when the pass is complete: another answer would
    // bring more than `want` values.
    bool Add(std::initializer_list<int> values);
    bool Complete() const;

    int Count() const { return static_cast<int>(values_.size()); }
    int Want() const { return want_; }
    const std::vector<int>& Values() const { return values_; }
    // One row per perRow values wanted (a row that starts below `want`), each with the values
    // collected for it.
    std::vector<std::string> Rows() const;

private:
    int perAnswer_, perRow_, digits_;
    int want_ = 0;
    bool running_ = false;
    int pass_ = 0;
    std::vector<int> values_;
};

} // namespace r8::ui
