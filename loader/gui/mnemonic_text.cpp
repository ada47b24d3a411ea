#include "mnemonic_text.h"

namespace zamel {

QString mnemonicRichText(const QString& text, bool underline) {
    QString rich;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        bool marked = false;
        if (c == QLatin1Char('&') && i + 1 < text.size()) {
            c = text[++i];
            // "&&" is an ampersand of the text itself.
            marked = c != QLatin1Char('&') && underline;
        }
        const QString shown =
            c == QLatin1Char('\n') ? QStringLiteral("<br>") : QString(c).toHtmlEscaped();
        rich += marked ? QStringLiteral("<u>") + shown + QStringLiteral("</u>") : shown;
    }
    // Rich text would otherwise fold the double spaces between sentences.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + rich + QStringLiteral("</p>");
}

}  // namespace zamel
