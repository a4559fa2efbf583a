// SPDX-License-Identifier: MIT
#pragma once
// The settings copy: the camera's EEPROM image to a settings file and back, as a room of the
// session for the Copy page. One engine serves the window's Copy tab and r8v5mc-copy; both put
// the same frames on the wire in the same order.
//
// Each transfer is a chain of exchanges: the start sends the first command and every further
// step is taken when its reply comes back (the answer with the command it answers, or a typed
// failure). The front end chooses the file and asks
// before an existing file is replaced; the engine reports progress and the outcome through
// CopyReport. A file for the camera is read and checked whole, once, before anything is sent.
// The file from the camera goes into a temporary file created before the first read and
// replaces the target only when every word has been read.
#include "Room.h"
#include "SettingsFile.h"
#include "TargetFile.h"

#include <functional>
#include <string>

namespace r8 {

// Copy_select: the running transfer.
enum CopyMode : int { kNoCopy = -1, kCameraToPc = 0, kPcToCameraSingle = 1, kPcToCameraBatch = 2 };

struct CopyFailure {
    std::string text;      // the message box text, e.g. "File read Error occured"
    std::string caption;   // its caption, e.g. "File.ERR"
    std::string detail;    // one sentence naming the file or the answer and the cause
    bool linkLost = false; // the camera stopped answering (or its device went away)
};

class CopyReport {
public:
    virtual ~CopyReport() = default;
    virtual void CopyProgress(int position, int maximum) = 0;
    // The transfer has finished (complete2).
    virtual void CopyDone() = 0;
    virtual void CopyFailed(const CopyFailure& failure) = 0;
};

class CopyEngine : public Room {
public:
    // Sends the settings block built from bits 7-0 of 2048 setting entries (SohCommand).
    using BlockSender = std::function<void(const int32_t* settingTable)>;

    // Every command and the block go out as exchanges of ctx.
    CopyEngine(RoomContext& ctx, CopyReport& report);
    // The front end puts the block on the line itself; its answer then comes to the room
    // (OnAnswer) like any answer that nobody asked for.
    CopyEngine(RoomContext& ctx, BlockSender sendBlock, CopyReport& report);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
    };
    // The word that no settings file carries; a batch write reads it from the camera first
    // and sends it back as it was.
    static constexpr int kKeptWord = kEepromWords - 1;

    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_copy(); }
    void OnLinkLost() override;

    // Starts a transfer; false when Trans_chk refuses or the file is refused (reported).
    // Camera->PC into `target` (already confirmed by the operator); an empty target reads the
    // image without writing a file.
    bool CtopOK2Click(const std::string& target);
    // PC->Camera as one block, then the reset. The file is read here; the second form takes a
    // file read and checked before (`name` names it in messages).
    bool ptocOk2Click(const std::string& file);
    bool ptocOk2Click(const std::string& name, SettingsFile file);
    // PC->Camera record by record; the file's end record resets the camera.
    bool ptocOkClick(const std::string& file);
    bool ptocOkClick(const std::string& name, SettingsFile file);
    // The camera against a file: reads the camera's image as Camera->PC does, without a file,
    // then compares it with `file` (a whole image, `name` in messages). Differences() holds
    // the outcome when CopyDone is told.
    bool Verify(const std::string& file);
    bool Verify(const std::string& name, SettingsFile file);

    int ctop_adr_chk(int value);
    // An answer that no exchange of the engine asked for: the block's, when the front end
    // sends the block itself. Anything else is not the copy's.
    void Trans_end_copy();
    // The next record of the file as a command; false at the end.
    bool make_frec(Request& record);
    // The file's words into SettingTable: entry 2k = bits 7-0 of word k, 2k + 1 = bits 15-8.
    bool make_allrec();
    // The camera acknowledged the reset that ends a transfer. Harmless when none is awaited.
    void CloseCopyFile();

    // Ends the running transfer at once: nothing more is sent and no file is written.
    void Abort();
    // Ends the running transfer on the operator's word, as Abort does (an answer still due is
    // taken by the link and ignored here). Returns what it leaves behind, for the operator:
    // no file written, or what the camera may hold now.
    std::string Stop();
    // What a write to the camera that ends now leaves in it; "" when it has sent nothing that
    // changes the camera (a read, a verify, a batch before its block).
    std::string WrittenSoFar() const;

    int Copy_select() const { return mode_; }
    bool Running() const { return running_; }
    // An exchange of the engine is on the wire or waiting for it (also after a stop, until its
    // reply is in).
    bool ExchangeInFlight() const { return inFlight_ > 0; }
    // The running or last transfer is a verify.
    bool Verifying() const { return verifying_; }
    // The camera (second) against the file (first) of the last completed verify.
    const ImageComparison& Differences() const { return differences_; }
    // Words 0..1023 of the last completed Camera->PC read.
    const WordImage& Image() const { return image_; }
    // Words carried by the running or last transfer.
    int Words() const;

private:
    // Where a batch write stands.
    enum class BatchStep { ReadKeptWord, BlockOut };

    // true when error is empty; else the file is refused (reported) and nothing starts.
    bool accepted(const std::string& error);
    bool readAndStartWrite(CopyMode mode, const std::string& file);
    bool startWrite(CopyMode mode, const std::string& name, SettingsFile file);
    // Sends one command of the running transfer; its reply goes to onReply.
    void exchange(const Request& request);
    void sendRead(int address);
    void sendNextRecord();
    void sendBlock();
    // The reply to a command of the transfer `run` (a stopped transfer's reply is dropped).
    void onReply(unsigned run, const Reply& r);
    void onAnswer(const AnswerView& a);
    void ctopStep(const AnswerView& a);
    // A read answer must carry the EEPROM word that was asked for.
    bool checkReadAnswer(const AnswerView& a);
    void finish();
    void fail(CopyFailure failure);

    RoomContext& ctx_;
    BlockSender sendBlock_; // empty: the block is an exchange of ctx_
    CopyReport& report_;
    int mode_ = kNoCopy;
    bool running_ = false;
    unsigned run_ = 0;      // counts the transfers started; a reply carries the one it belongs to
    int inFlight_ = 0;      // exchanges sent whose reply has not come
    bool blockDue_ = false; // the front end sent the block; its answer comes to OnAnswer
    bool awaitingReset_ = false;
    bool sentToCamera_ = false; // a write has changed the camera, or may have
    bool verifying_ = false;
    SettingsFile against_; // the file of a verify
    ImageComparison differences_;
    BatchStep batchStep_ = BatchStep::ReadKeptWord;
    std::string file_;
    TargetFile target_;
    int expected_ = 0; // the word the last read asked for
    SettingsFile records_;
    size_t next_ = 0; // next record of a single transfer
    WordImage image_{};
};

} // namespace r8
