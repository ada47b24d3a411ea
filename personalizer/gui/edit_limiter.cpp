#include "edit_limiter.h"

#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace tagwright {

EditLimiter::EditLimiter(QLineEdit* edit) : QObject(edit), line_(edit) {
    // textEdited comes from the user only, never from setText.
    connect(edit, &QLineEdit::textEdited, this, &EditLimiter::onUserEdit);
}

EditLimiter::EditLimiter(QPlainTextEdit* edit) : QObject(edit), plain_(edit) {
    connect(edit, &QPlainTextEdit::textChanged, this, [this] {
        if (!settingText_) {
            onUserEdit();
        }
    });
}

void EditLimiter::setText(const QString& text) {
    settingText_ = true;
    if (line_ != nullptr) {
        line_->setText(text);
    } else {
        plain_->setPlainText(text);
    }
    settingText_ = false;
    accepted_ = text;
}

QString EditLimiter::text() const {
    if (line_ != nullptr) {
        return line_->text();
    }
    // The raw text keeps non-breaking spaces, which toPlainText turns into
    // plain ones; paragraphs are separated by U+2029.
    QString text = plain_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

int EditLimiter::windowsLength(const QString& text) {
    return static_cast<int>(text.size() + text.count(QLatin1Char('\n')));
}

void EditLimiter::onUserEdit() {
    const QString edited = text();
    const int length = windowsLength(edited);
    if (length <= limit_ || length <= windowsLength(accepted_)) {
        accepted_ = edited;
        return;
    }
    // Undo the edit and leave the cursor where the refused input began.
    const int grownBy = static_cast<int>(edited.size() - accepted_.size());
    if (line_ != nullptr) {
        const int cursor = line_->cursorPosition();
        line_->setText(accepted_);
        line_->setCursorPosition(std::max(0, cursor - grownBy));
        return;
    }
    const int cursor = plain_->textCursor().position();
    settingText_ = true;
    plain_->setPlainText(accepted_);
    settingText_ = false;
    QTextCursor restored = plain_->textCursor();
    restored.setPosition(std::clamp(cursor - grownBy, 0, static_cast<int>(accepted_.size())));
    plain_->setTextCursor(restored);
}

}  // namespace tagwright
