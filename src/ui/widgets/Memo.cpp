// SPDX-License-Identifier: MIT
// The memo: a plain text of lines with the toolkit's change events.
#include "Controls.h"

#include <QFontDatabase>

namespace r8::ui {

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(this, &QPlainTextEdit::textChanged, this, [this] { RunGuarded(OnChange); });
}

QStringList Memo::Lines() const {
    const QString text = toPlainText();
    if (text.isEmpty()) return {};
    return text.split('\n');
}

void Memo::SetLines(const QStringList& lines) {
    const QString text = lines.join('\n');
    if (text != toPlainText()) setPlainText(text);
}

void Memo::Clear() {
    if (!toPlainText().isEmpty()) clear();
}

void Memo::AddLine(const QString& line) {
    appendPlainText(line);
}

} // namespace r8::ui
