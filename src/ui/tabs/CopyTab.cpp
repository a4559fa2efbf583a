#include "CopyTab.h"

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
    CtopOK2 = new Button("Camera->PC", Body());
    CtopOK2->setObjectName("CtopOK2");
    CtopOK2->setGeometry(24, 24, 160, 28);
    CtopOK2->OnClick = [this] { CtopOK2Click(); };
    ptocOk2 = new Button("PC->Camera(Batch)", Body());
    ptocOk2->setObjectName("ptocOk2");
    ptocOk2->setGeometry(24, 64, 160, 28);
    ptocOk2->OnClick = [this] { ptocOk2Click(); };
    ptocOk = new Button("PC->Camera(Single)", Body());
    ptocOk->setObjectName("ptocOk");
    ptocOk->setGeometry(24, 104, 160, 28);
    ptocOk->OnClick = [this] { ptocOkClick(); };
    Same = new CheckBox("Same File Name", Body());
    Same->setObjectName("Same");
    Same->setGeometry(208, 68, 160, 22);

    Label33 = new Label("File Name", Body());
    Label33->setObjectName("Label33");
    Label33->setGeometry(24, 162, 80, 20);
    Copyfname2 = new Panel(Body(), "Copyfname");
    Copyfname2->setObjectName("Copyfname2");
    Copyfname2->setFrameShadow(QFrame::Sunken);
    Copyfname2->setGeometry(104, 158, 580, 28);
    Label35 = new Label("Label35", Body());
    Label35->setObjectName("Label35");
    Label35->setGeometry(24, 206, 300, 20);
    ProgressBar3 = new QProgressBar(Body());
    ProgressBar3->setObjectName("ProgressBar3");
    ProgressBar3->setGeometry(24, 232, 660, 22);
    ProgressBar3->setRange(0, kEepromWords);
    ProgressBar3->setValue(0);
    complete2 = new Label("Complete", Body());
    complete2->setObjectName("complete2");
    complete2->setGeometry(24, 266, 140, 20);

    Copy_select = new RadioGroup("", {"ctop", "ptoc(Single)", "ptoc(batch)"}, 1, Body());
    Copy_select->setObjectName("Copy_select");
    Copy_select->setGeometry(520, 20, 160, 100);
    Copy_select->setEnabled(false);
    Copy_select->hide();
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
    if (!ctx_.Trans_chk()) return;
    begin(kPcToCameraBatch, "PC->Camera");
    if (!chooseSource(!Copyfname2->Caption().isEmpty())) return;
    Copyfname2->SetCaption(OpenDialog1.FileName);
    Same->setFocus();
    running(engine_.ptocOk2Click(LocalPath(OpenDialog1.FileName)));
}

void CopyTab::ptocOkClick() {
    if (!ctx_.Trans_chk()) return;
    begin(kPcToCameraSingle, "PC->Camera(Single)");
    Copyfname2->SetCaption("");
    if (!chooseSource(!OpenDialog1.FileName.isEmpty())) return;
    Copyfname2->SetCaption(OpenDialog1.FileName);
    Same->SetChecked(true);
    running(engine_.ptocOkClick(LocalPath(OpenDialog1.FileName)));
}

void CopyTab::running(bool on) {
    // A start that was refused, or a transfer that ended inside its own start, holds nothing.
    on = on && engine_.Running();
    // A second click would end the running transfer half-way.
    for (Button* b : {CtopOK2, ptocOk2, ptocOk})
        b->setEnabled(!on);
    if (OnRunning) OnRunning(on);
}

void CopyTab::CopyProgress(int position, int maximum) {
    ProgressBar3->setMaximum(maximum);
    ProgressBar3->setValue(position);
}

void CopyTab::CopyDone() {
    ProgressBar3->setValue(ProgressBar3->maximum());
    if (engine_.Copy_select() == kPcToCameraBatch) Same->SetChecked(true);
    complete2->show();
    running(false);
}

void CopyTab::CopyFailed(const CopyFailure& failure) {
    running(false);
    // The text and caption the operator knows, and on a second line what exactly went wrong.
    QString text = QString::fromStdString(failure.text);
    if (!failure.detail.empty()) text += "\n" + QString::fromStdString(failure.detail);
    MessageBox(text, QString::fromStdString(failure.caption), MbAbortRetryIgnore);
}

} // namespace r8::ui
