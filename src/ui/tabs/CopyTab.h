// SPDX-License-Identifier: MIT
#pragma once
// The Copy tab: the front end of the copy engine. It chooses the file, asks before an existing
// file is replaced, and shows the running transfer, its progress, its end and its failures;
// the engine sends, follows the camera's answers and reads and writes the settings file.
#include "CopyEngine.h"
#include "TabRoom.h"
#include "ui_CopyTab.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace r8::ui {

// A file dialog of the tab. It remembers the name chosen last: "Same File Name" reuses it.
struct FileDialog {
    enum class Mode { Save, Open };
    Mode mode;
    QString FileName = "*.dat";
    QStringList Filter = {QStringLiteral("データ(*.dat)"), QStringLiteral("すべてのファイル (*)")};
};

// Runs a file dialog: the chosen path, or an empty text when the operator cancels.
using FileChooser = std::function<QString(const FileDialog&)>;

class CopyTab : public TabRoom, public Ui::CopyTabForm, private CopyReport {
public:
    // sendBlock puts the settings block on the line (the link's SohCommand).
    CopyTab(RoomContext& ctx, CopyEngine::BlockSender sendBlock);

    PageTable Page() const override { return engine_.Page(); }
    void OnAnswer() override { Trans_end_copy(); }
    void OnLinkLost() override { engine_.OnLinkLost(); }
    void Trans_end_copy() { engine_.Trans_end_copy(); }

    void CtopOK2Click();
    void ptocOk2Click();
    void ptocOkClick();
    // The camera against a file: VerifyList shows address, file and camera of each differing
    // word, then the count.
    void VerifyClick();
    // Stops the running transfer between exchanges and says what it leaves behind.
    void CopyStopClick();
    // Before the window closes while a transfer runs: asks the operator, and on Yes stops the
    // transfer. false when the operator keeps it running (the window stays open).
    bool MayClose();
    // The camera acknowledged a reset; it ends a transfer that waits for it.
    void ResetAcknowledged() { engine_.CloseCopyFile(); }

    CopyEngine& Engine() { return engine_; }
    // Replaces the file dialogs (QFileDialog by default).
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // Told when a transfer starts (true) and when it ends or fails (false): the main window
    // keeps the tab control on this tab meanwhile, since the answers go to the tab on show.
    std::function<void(bool running)> OnRunning;

    FileDialog SaveDialog1{FileDialog::Mode::Save};
    FileDialog OpenDialog1{FileDialog::Mode::Open};

private:
    // CopyReport
    void CopyProgress(int position, int maximum) override;
    void CopyDone() override;
    void CopyFailed(const CopyFailure& failure) override;
    void showDifferences();

    // Shows what a transfer starts with: its mode and name, progress 0, complete2 hidden.
    void begin(CopyMode mode, const QString& name);
    // Runs the dialog; false when cancelled, else its FileName is the choice.
    bool execute(FileDialog& dialog);
    // The file of a PC->Camera transfer: the last one when Same allows it, else the dialog's.
    bool chooseSource(bool reuse);
    // A transfer from a file (PC->Camera, Verify): asks Trans_chk, shows its start, runs
    // prepare, chooses the file (reuse: the last one when Same allows it), then start(path).
    void fromFile(CopyMode mode, const QString& name, bool reuse,
                  const std::function<void()>& prepare,
                  const std::function<bool(const std::string&)>& start);
    // Tells OnRunning whether a transfer runs: after a start (on = what it returned) and at
    // the end.
    void running(bool on);

    CopyEngine engine_;
    FileChooser chooser_;
};

} // namespace r8::ui
