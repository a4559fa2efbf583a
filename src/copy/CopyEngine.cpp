// SPDX-License-Identifier: MIT
#include "CopyEngine.h"

#include "HexText.h"

#include <algorithm>

namespace r8 {

namespace {
constexpr char kReadError[] = "File read Error occured";
constexpr char kWriteError[] = "File write Error occured";
constexpr char kFileCaption[] = "File.ERR";
constexpr uint8_t kRead = 0x31, kEepromGroup = 0x0C, kReset = 0xF1;
} // namespace

CopyEngine::CopyEngine(RoomContext& ctx, CopyReport& report) : CopyEngine(ctx, {}, report) {}

CopyEngine::CopyEngine(RoomContext& ctx, BlockSender sendBlock, CopyReport& report)
    : ctx_(ctx), sendBlock_(std::move(sendBlock)), report_(report) {
    image_.fill(kNoWord);
}

int CopyEngine::Words() const {
    switch (mode_) {
    case kCameraToPc:
        return kEepromWords;
    case kPcToCameraBatch:
        return static_cast<int>(std::count_if(records_.words.begin(), records_.words.end(),
                                              [](int32_t w) { return w != kNoWord; }));
    case kPcToCameraSingle:
        return static_cast<int>(
            std::count_if(records_.records.begin(), records_.records.end(),
                          [](const RecordPayload& p) { return p[0] != kReset; }));
    default:
        return 0;
    }
}

int CopyEngine::ctop_adr_chk(int value) {
    if (value != 0) return value;
    auto& table = ctx_.State().SettingTable;
    std::fill(table.begin(), table.begin() + kEepromWords, kNoWord);
    return kEepromWords;
}

bool CopyEngine::CtopOK2Click(const std::string& target) {
    if (!ctx_.Trans_chk()) return false;
    Abort();
    verifying_ = false;
    mode_ = kCameraToPc;
    file_ = target;
    image_.fill(kNoWord);
    // The file is made before the first read: a folder that cannot take it fails now.
    if (!target.empty()) {
        if (const std::string error = target_.Open(target, kRecordSize * (kDataRecords + 1));
            !error.empty()) {
            fail({kWriteError, kFileCaption, error + "; nothing was read"});
            return false;
        }
    }
    ctop_adr_chk(0);
    running_ = true;
    report_.CopyProgress(0, kEepromWords);
    sendRead(0);
    return true;
}

bool CopyEngine::ptocOk2Click(const std::string& file) {
    return readAndStartWrite(kPcToCameraBatch, file);
}

bool CopyEngine::ptocOk2Click(const std::string& name, SettingsFile file) {
    return startWrite(kPcToCameraBatch, name, std::move(file));
}

bool CopyEngine::ptocOkClick(const std::string& file) {
    return readAndStartWrite(kPcToCameraSingle, file);
}

bool CopyEngine::ptocOkClick(const std::string& name, SettingsFile file) {
    return startWrite(kPcToCameraSingle, name, std::move(file));
}

bool CopyEngine::Verify(const std::string& file) {
    if (!ctx_.Trans_chk()) return false;
    SettingsFile parsed;
    if (!accepted(ReadSettingsFile(file, parsed))) return false;
    return Verify(file, std::move(parsed));
}

bool CopyEngine::Verify(const std::string& name, SettingsFile file) {
    if (!ctx_.Trans_chk()) return false;
    if (!accepted(CheckBlockImage(file, name))) return false;
    if (!CtopOK2Click("")) return false;
    verifying_ = true;
    file_ = name;
    against_ = std::move(file);
    differences_ = {};
    return true;
}

bool CopyEngine::accepted(const std::string& error) {
    if (error.empty()) return true;
    Abort();
    mode_ = kNoCopy;
    fail({kReadError, kFileCaption, error});
    return false;
}

bool CopyEngine::readAndStartWrite(CopyMode mode, const std::string& file) {
    if (!ctx_.Trans_chk()) return false;
    SettingsFile parsed;
    if (!accepted(ReadSettingsFile(file, parsed))) return false;
    return startWrite(mode, file, std::move(parsed));
}

bool CopyEngine::startWrite(CopyMode mode, const std::string& name, SettingsFile file) {
    if (!ctx_.Trans_chk()) return false;
    Abort();
    verifying_ = false;
    mode_ = mode;
    file_ = name;
    if (const std::string error = CheckWritable(file, name, mode == kPcToCameraBatch);
        !error.empty()) {
        mode_ = kNoCopy;
        fail({kReadError, kFileCaption, error});
        return false;
    }
    records_ = std::move(file);
    running_ = true;
    if (mode == kPcToCameraBatch) {
        report_.CopyProgress(0, kEepromWords);
        batchStep_ = BatchStep::ReadKeptWord;
        if (records_.words[kKeptWord] == kNoWord)
            sendRead(kKeptWord);
        else
            sendBlock(); // a file that gives the word itself
    } else {
        next_ = 0;
        report_.CopyProgress(0, static_cast<int>(records_.records.size()));
        sendNextRecord();
    }
    return true;
}

bool CopyEngine::make_allrec() {
    auto& table = ctx_.State().SettingTable;
    for (size_t k = 0; k < records_.words.size(); ++k) {
        const int32_t w = records_.words[k];
        if (w == kNoWord) continue; // the kept word: the camera's value is already there
        table[2 * k] = w & 0xFF;
        table[2 * k + 1] = (w >> 8) & 0xFF;
    }
    return true;
}

void CopyEngine::sendBlock() {
    if (!ctx_.Trans_chk()) {
        fail({" Error ", "ERR", "the link was busy; the settings block was not sent"});
        return;
    }
    make_allrec();
    batchStep_ = BatchStep::BlockOut;
    sentToCamera_ = true;
    // The port takes the block at once but the line needs 2 s for it: the progress reaches its
    // end when the camera answers.
    const int32_t* table = ctx_.State().SettingTable.data();
    if (sendBlock_) {
        blockDue_ = true;
        sendBlock_(table);
        return;
    }
    ++inFlight_;
    ctx_.ExchangeBlock(table, [this, run = run_](const Reply& r) { onReply(run, r); });
}

bool CopyEngine::make_frec(Request& record) {
    if (next_ >= records_.records.size()) return false;
    const RecordPayload& p = records_.records[next_++];
    std::copy(p.begin(), p.end(), record.p.begin());
    record.n = static_cast<int>(kPayloadSize);
    return true;
}

void CopyEngine::sendNextRecord() {
    Request record;
    if (!make_frec(record)) {
        // Checked at the start: a file always ends with its end record.
        fail({kReadError, kFileCaption, file_ + ": the file ended without its end record"});
        return;
    }
    const bool reset = record.p[0] == kReset;
    awaitingReset_ = reset;
    sentToCamera_ = true;
    exchange(record);
    if (!reset)
        report_.CopyProgress(static_cast<int>(next_), static_cast<int>(records_.records.size()));
}

void CopyEngine::sendRead(int address) {
    expected_ = address;
    exchange({{kRead, kEepromGroup, static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(address & 0xFF)},
              4});
}

void CopyEngine::exchange(const Request& request) {
    ++inFlight_;
    ctx_.Exchange(request, [this, run = run_](const Reply& r) { onReply(run, r); });
}

void CopyEngine::onReply(unsigned run, const Reply& r) {
    --inFlight_;
    if (run != run_ || !running_) return; // a stopped transfer's
    switch (r.error) {
    case ExchangeError::NoAnswer:
    case ExchangeError::LinkLost:
        OnLinkLost();
        return;
    case ExchangeError::None:
        if (r.ackOnly) {
            // The camera acknowledged the reset that ends the transfer.
            if (awaitingReset_) finish();
            return;
        }
        break;
    case ExchangeError::ErrorAnswer:
        break;
    }
    onAnswer(AnswerView(r.answer.data(), r.command.data()));
}

void CopyEngine::Trans_end_copy() {
    if (!blockDue_ || !running_) return;
    blockDue_ = false;
    onAnswer(ctx_.Answer());
}

void CopyEngine::onAnswer(const AnswerView& a) {
    if (awaitingReset_) return;
    if (!a.Good()) {
        fail({" Error ", "ERR",
              "the camera answered error " + HexByte(a.A(1)) + " to the command " +
                  HexByte(a.P(1)) + " " + HexByte(a.P(2)) + " " + HexByte(a.P(3)) + " " +
                  HexByte(a.P(4))});
        return;
    }
    switch (mode_) {
    case kCameraToPc:
        ctopStep(a);
        break;
    case kPcToCameraSingle:
        sendNextRecord();
        break;
    case kPcToCameraBatch:
        if (batchStep_ == BatchStep::ReadKeptWord) {
            if (!checkReadAnswer(a)) return;
            auto& table = ctx_.State().SettingTable;
            table[2 * kKeptWord] = a.U16(5) & 0xFF;
            table[2 * kKeptWord + 1] = a.U16(5) >> 8;
            sendBlock();
            break;
        }
        // The camera took the block: reset it so that it runs on the new settings.
        report_.CopyProgress(kEepromWords, kEepromWords);
        awaitingReset_ = true;
        if (ctx_.Trans_chk()) {
            exchange({{kReset}, 1});
        } else {
            awaitingReset_ = false;
            fail({" Error ", "ERR", "the camera took the settings block but could not be reset"});
        }
        break;
    default:
        break;
    }
}

bool CopyEngine::checkReadAnswer(const AnswerView& a) {
    const int k = a.U16(3);
    if (a.Group() == kEepromGroup && k == expected_ && k < kEepromWords) return true;
    fail({" Error ", "ERR",
          "the camera answered group " + HexByte(a.Group()) + " address " + HexWord(k) +
              " to the read of EEPROM word " + HexWord(expected_) +
              (mode_ == kCameraToPc ? "; no file written" : "; nothing was written")});
    return false;
}

void CopyEngine::ctopStep(const AnswerView& a) {
    if (!checkReadAnswer(a)) return;
    const int k = a.U16(3);
    auto& table = ctx_.State().SettingTable;
    table[static_cast<size_t>(k)] = a.U16(5);
    report_.CopyProgress(k + 1, kEepromWords);
    if (k < kEepromWords - 1) {
        sendRead(k + 1);
        return;
    }
    std::copy(table.begin(), table.begin() + kEepromWords, image_.begin());
    if (verifying_) {
        // The camera always has 03FF; it is compared only when the file carries it.
        WordImage camera = image_;
        if (against_.words[kKeptWord] == kNoWord) camera[kKeptWord] = kNoWord;
        differences_ = CompareImages(against_.words, camera);
    }
    if (target_.IsOpen()) {
        const std::string error = target_.Commit(SettingsFileText(image_.data()));
        if (!error.empty()) {
            fail({kWriteError, kFileCaption, file_ + ": " + error});
            return;
        }
    }
    finish();
}

void CopyEngine::CloseCopyFile() {
    if (!running_ || !awaitingReset_) return;
    finish();
}

void CopyEngine::OnLinkLost() {
    if (!running_) return;
    fail({"The camera stopped answering", "Comm.ERR",
          mode_ == kCameraToPc ? "the copy from the camera ended; no file written"
                               : "the copy to the camera ended before the camera was reset.",
          true});
}

void CopyEngine::Abort() {
    running_ = false;
    ++run_; // replies still due belong to no transfer
    blockDue_ = false;
    awaitingReset_ = false;
    sentToCamera_ = false;
    target_.Discard();
}

std::string CopyEngine::Stop() {
    if (!running_) return {};
    std::string left = WrittenSoFar();
    if (left.empty())
        left = mode_ == kCameraToPc ? (verifying_ ? "nothing compared" : "no file written")
                                    : "nothing was written to the camera";
    Abort();
    return left;
}

std::string CopyEngine::WrittenSoFar() const {
    if (!running_ || !sentToCamera_) return {};
    if (mode_ == kPcToCameraBatch)
        return "the camera may hold part of the file: the settings block of " + file_ +
               " went out, and the camera was not reset; write the file again";
    if (mode_ != kPcToCameraSingle) return {};
    // next_ records have gone out; the last of them may not have reached the EEPROM.
    int words = 0, last = -1;
    for (size_t i = 0; i < next_ && i < records_.records.size(); ++i) {
        const RecordPayload& p = records_.records[i];
        if (p[0] == kReset) continue;
        ++words;
        last = p[2] << 8 | p[3];
    }
    const int all = static_cast<int>(records_.records.size()) - (records_.hasEnd ? 1 : 0);
    return "the camera may hold part of the file: " + std::to_string(words) + " of the " +
           std::to_string(all) + " words of " + file_ + " went out (the last: word " +
           HexWord(std::max(last, 0)) + "), and the camera was not reset; write the file again";
}

void CopyEngine::finish() {
    if (mode_ == kPcToCameraSingle) {
        const int n = static_cast<int>(records_.records.size());
        report_.CopyProgress(n, n);
    }
    running_ = false;
    awaitingReset_ = false;
    sentToCamera_ = false;
    report_.CopyDone();
}

void CopyEngine::fail(CopyFailure failure) {
    const std::string left = WrittenSoFar();
    Abort();
    if (!left.empty()) failure.detail += "; " + left;
    report_.CopyFailed(failure);
}

} // namespace r8
