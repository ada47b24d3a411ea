#include "keyboard_access.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QSet>
#include <QWidget>

#include "windows1252.h"

namespace zamel {

namespace {

// The character after a single '&', or a null QChar when the text has none.
QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return text[i + 1].toLower();
        ++i;
    }
    return QChar();
}

// Where to put the '&' in text (whose own ampersands are doubled): a word start
// first, else any letter or digit; -1 when every one is taken.
qsizetype mnemonicPosition(const QString& text, const QSet<QChar>& taken) {
    qsizetype anywhere = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        if (!text[i].isLetterOrNumber() || taken.contains(text[i].toLower())) continue;
        if (i == 0 || text[i - 1] == QLatin1Char(' ')) return i;
        if (anywhere < 0) anywhere = i;
    }
    return anywhere;
}

}  // namespace

QString buttonCaption(std::string_view windowsBytes) {
    QString caption = fromWindows1252(windowsBytes);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption;
}

void addMnemonics(QWidget* window) {
    // Push buttons choose first, so "OK" and "Cancel" keep their first letters.
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (qobject_cast<QPushButton*>(button) != nullptr) buttons.append(button);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (qobject_cast<QPushButton*>(button) == nullptr) buttons.append(button);
    QSet<QChar> taken;
    for (const QAbstractButton* button : buttons)
        if (const QChar mnemonic = mnemonicOf(button->text()); !mnemonic.isNull())
            taken.insert(mnemonic);
    for (QAbstractButton* button : buttons) {
        QString text = button->text();
        if (!mnemonicOf(text).isNull()) continue;
        const qsizetype position = mnemonicPosition(text, taken);
        if (position < 0) continue;
        taken.insert(text[position].toLower());
        text.insert(position, QLatin1Char('&'));
        button->setText(text);
    }
}

QString captionWithoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        plain.append(text[i]);
    }
    return plain;
}

}  // namespace zamel
