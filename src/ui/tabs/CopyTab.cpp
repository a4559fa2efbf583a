// SPDX-License-Identifier: MIT
#include "CopyTab.h"

#include "HexText.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>

namespace r8::ui {

namespace {

QString RunFileDialog(const FileDialog& d, QWidget* parent) {
    const bool save = d.mode == FileDialog::Mode::Save;
    QFileDialog dialog(parent);
    dialog.setObjectName(save ? "SaveDialog1" : "OpenDialog1");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The tab asks itself before a file is replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(d.Filter);
    const QFileInfo last(d.FileName);
    if (!d.FileName.contains('*')) {
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CopyTab::CopyTab(RoomContext& ctx, CopyEngine::BlockSender sendBlock)
    : TabRoom(ctx, "CopySheet", "Panel7"), engine_(ctx, std::move(sendBlock), *this) {
    setupUi(Body());
    CtopOK2->OnClick = [this] { CtopOK2Click(); };
    ptocOk2->OnClick = [this] { ptocOk2Click(); };
    ptocOk->OnClick = [this] { ptocOkClick(); };
    CopyVerify->OnClick = [this] { VerifyClick(); };
    CopyStop->OnClick = [this] { CopyStopClick(); };
}

void CopyTab::begin(CopyMode mode, const QString& name) {
    Copy_select->SetItemIndex(mode);
    Label35->SetCaption(name);
    ProgressBar3->setValue(0);
    complete2->hide();
}

bool CopyTab::execute(FileDialog& dialog) {
    const QString chosen = chooser_ ? chooser_(dialog) : RunFileDialog(dialog, Sheet()->window());
    if (chosen.isEmpty()) return false;
    dialog.FileName = chosen;
    return true;
}

bool CopyTab::chooseSource(bool reuse) {
    if (Same->Checked()) {
        if (reuse) return true;
        Same->SetChecked(false);
    }
    return execute(OpenDialog1);
}

void CopyTab::CtopOK2Click() {
    if (!ctx_.Trans_chk()) return;
    begin(kCameraToPc, "Camera->PC");
    Copyfname2->SetCaption("");
    if (!execute(SaveDialog1)) return;
    // A name without a suffix gets ".dat", so that the restore dialog's filter shows it.
    if (QFileInfo(SaveDialog1.FileName).suffix().isEmpty()) SaveDialog1.FileName += ".dat";
    const QString path = SaveDialog1.FileName;
    if (QFileInfo::exists(path) &&
        !Messages().Confirm("Do you really want to over write " + QFileInfo(path).fileName() + "?",
                            "R8V5MC"))
        return;
    Copyfname2->SetCaption(path);
    running(engine_.CtopOK2Click(LocalPath(path)));
}

void CopyTab::ptocOk2Click() {
    complete2->hide();
    fromFile(kPcToCameraBatch, "PC->Camera", !Copyfname2->Caption().isEmpty(), {},
             [this](const std::string& path) {
                 Same->setFocus();
                 return engine_.ptocOk2Click(path);
             });
}

void CopyTab::ptocOkClick() {
    fromFile(
        kPcToCameraSingle, "PC->Camera(Single)", !OpenDialog1.FileName.isEmpty(),
        [this] { Copyfname2->SetCaption(""); },
        [this](const std::string& path) {
            Same->SetChecked(true);
            return engine_.ptocOkClick(path);
        });
}

void CopyTab::VerifyClick() {
    fromFile(
        kCameraToPc, "Verify", !Copyfname2->Caption().isEmpty(), [this] { VerifyList->Clear(); },
        [this](const std::string& path) { return engine_.Verify(path); });
}

void CopyTab::fromFile(CopyMode mode, const QString& name, bool reuse,
                       const std::function<void()>& prepare,
                       const std::function<bool(const std::string&)>& start) {
    if (!ctx_.Trans_chk()) return;
    begin(mode, name);
    if (prepare) prepare();
    if (!chooseSource(reuse)) return;
    Copyfname2->SetCaption(OpenDialog1.FileName);
    running(start(LocalPath(OpenDialog1.FileName)));
}

void CopyTab::CopyStopClick() {
    if (!engine_.Running()) return;
    const std::string left = engine_.Stop();
    running(false);
    Label35->SetCaption(Label35->Caption() + ": stopped");
    MessageBox("The copy was stopped: " + Q(left) + ".", "R8V5MC", MbOk);
}

bool CopyTab::MayClose() {
    if (!engine_.Running()) return true;
    const bool toCamera = engine_.Copy_select() != kCameraToPc;
    const QString text =
        toCamera ? "A copy to the camera is running; stopping now leaves the camera with part of "
                   "the file.\nStop the copy and exit?"
                 : "A copy from the camera is running; stopping now leaves no file.\nStop the "
                   "copy and exit?";
    if (!Messages().Confirm(text, "R8V5MC")) return false;
    engine_.Stop();
    running(false);
    return true;
}

void CopyTab::running(bool on) {
    // A start that was refused, or a transfer that ended inside its own start, holds nothing.
    on = on && engine_.Running();
    // A second click would end the running transfer half-way.
    for (Button* b : {CtopOK2, ptocOk2, ptocOk, CopyVerify})
        b->setEnabled(!on);
    CopyStop->setEnabled(on);
    if (OnRunning) OnRunning(on);
}

void CopyTab::showDifferences() {
    const ImageComparison& c = engine_.Differences();
    QStringList lines;
    auto word = [](int32_t w) { return Q(w == kNoWord ? "----" : HexWord(w)); };
    for (const WordDifference& d : c.differ)
        lines << Q(HexWord(d.address)) + " " + word(d.first) + " " + word(d.second);
    lines << Q(ComparedText(c)) + " compared, " + QString::number(c.differ.size()) +
                 " differ (address, file, camera)";
    VerifyList->SetLines(lines);
}

void CopyTab::CopyProgress(int position, int maximum) {
    ProgressBar3->setMaximum(maximum);
    ProgressBar3->setValue(position);
}

void CopyTab::CopyDone() {
    ProgressBar3->setValue(ProgressBar3->maximum());
    if (engine_.Verifying()) showDifferences();
    if (engine_.Copy_select() == kPcToCameraBatch) Same->SetChecked(true);
    complete2->show();
    running(false);
}

void CopyTab::CopyFailed(const CopyFailure& failure) {
    running(false);
    // The text and caption the operator knows, and on a second line what exactly went wrong.
    QString text = Q(failure.text);
    if (!failure.detail.empty()) text += "\n" + Q(failure.detail);
    MessageBox(text, Q(failure.caption), MbAbortRetryIgnore);
}

} // namespace r8::ui
