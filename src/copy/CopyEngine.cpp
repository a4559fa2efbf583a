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
    mode_ = kCameraToPc;
    file_ = target;
    image_.fill(kNoWord);
    ctop_adr_chk(0);
    running_ = true;
    awaitingReset_ = false;
    report_.CopyProgress(0, kEepromWords);
    sendRead(0);
    return true;
}

bool CopyEngine::ptocOk2Click(const std::string& file) {
    return startWrite(kPcToCameraBatch, file);
}

bool CopyEngine::ptocOkClick(const std::string& file) {
    return startWrite(kPcToCameraSingle, file);
}

bool CopyEngine::startWrite(CopyMode mode, const std::string& file) {
    if (!ctx_.Trans_chk()) return false;
    running_ = false;
    awaitingReset_ = false;
    mode_ = mode;
    file_ = file;
    // Read and check the whole file before anything goes to the camera.
    SettingsFile parsed;
    std::string error = ReadSettingsFile(file, parsed);
    // A block carries every word: one the file lacks would go out as whatever the table
    // happened to hold.
    if (error.empty() && mode == kPcToCameraBatch) error = CheckBlockImage(parsed, file);
    if (error.empty() && mode == kPcToCameraSingle &&
        std::none_of(parsed.records.begin(), parsed.records.end(),
                     [](const RecordPayload& p) { return p[0] != kReset; }))
        error = file + ": no EEPROM word record";
    if (!error.empty()) {
        mode_ = kNoCopy;
        fail({kReadError, kFileCaption, error});
        return false;
    }
    records_ = std::move(parsed);
    running_ = true;
    if (mode == kPcToCameraBatch) {
        make_allrec();
        report_.CopyProgress(0, kEepromWords);
        sendBlock_(ctx_.State().SettingTable.data());
        report_.CopyProgress(kEepromWords, kEepromWords);
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
        if (w == kNoWord) continue; // word 1023 when the file leaves it out: the table's value
        table[2 * k] = w & 0xFF;
        table[2 * k + 1] = (w >> 8) & 0xFF;
    }
    return true;
}

bool CopyEngine::make_frec() {
    if (next_ >= records_.records.size()) return false;
    const RecordPayload& p = records_.records[next_++];
    auto& frame = ctx_.SendFrame();
    std::copy(p.begin(), p.end(), frame.begin() + 1);
    return true;
}

void CopyEngine::sendNextRecord() {
    if (!make_frec()) {
        finish(); // a file without an end record ends with its last word
        return;
    }
    const bool reset = ctx_.SendFrame()[1] == kReset;
    awaitingReset_ = reset;
    ctx_.StxCommand(static_cast<int>(kPayloadSize));
    if (!reset)
        report_.CopyProgress(static_cast<int>(next_), static_cast<int>(records_.records.size()));
}

void CopyEngine::sendRead(int address) {
    expected_ = address;
    ctx_.Send({kRead, kEepromGroup, static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(address & 0xFF)});
}

void CopyEngine::Trans_end_copy() {
    if (!running_ || awaitingReset_) return;
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        fail({" Error ", "ERR",
              "the camera answered error " + HexByte(a.A(1)) + " to the command " +
                  HexByte(a.P(1)) + " " + HexByte(a.P(2)) + " " + HexByte(a.P(3)) + " " +
                  HexByte(a.P(4))});
        return;
    }
    switch (mode_) {
    case kCameraToPc:
        Trans_end_ctop();
        break;
    case kPcToCameraSingle:
        sendNextRecord();
        break;
    case kPcToCameraBatch:
        // The camera took the block: reset it so that it runs on the new settings.
        report_.CopyProgress(kEepromWords, kEepromWords);
        awaitingReset_ = true;
        if (ctx_.Trans_chk()) {
            ctx_.Send({kReset});
        } else {
            awaitingReset_ = false;
            fail({" Error ", "ERR", "the camera took the settings block but could not be reset"});
        }
        break;
    default:
        break;
    }
}

void CopyEngine::Trans_end_ctop() {
    const AnswerView a = ctx_.Answer();
    const int k = a.U16(3);
    if (a.Group() != kEepromGroup || k != expected_ || k >= kEepromWords) {
        fail({" Error ", "ERR",
              "the camera answered group " + HexByte(a.Group()) + " address " + HexWord(k) +
                  " to the read of EEPROM word " + HexWord(expected_) + "; no file written"});
        return;
    }
    auto& table = ctx_.State().SettingTable;
    table[static_cast<size_t>(k)] = a.U16(5);
    report_.CopyProgress(k + 1, kEepromWords);
    if (k < kEepromWords - 1) {
        sendRead(k + 1);
        return;
    }
    std::copy(table.begin(), table.begin() + kEepromWords, image_.begin());
    if (!file_.empty()) {
        const std::string error = ReplaceFile(file_, SettingsFileText(image_.data()));
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

void CopyEngine::Abort() {
    running_ = false;
    awaitingReset_ = false;
}

void CopyEngine::finish() {
    running_ = false;
    awaitingReset_ = false;
    report_.CopyDone();
}

void CopyEngine::fail(CopyFailure failure) {
    running_ = false;
    awaitingReset_ = false;
    report_.CopyFailed(failure);
}

} // namespace r8
