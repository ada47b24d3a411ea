#pragma once

#include <QString>

namespace zamel {

// A text that marks menu mnemonics the Windows way ("&File", "&&" for an
// ampersand) as rich text for a label, shown the way this platform's style shows
// mnemonics: the letter underlined, or the mark dropped where the style hides
// them. Line breaks are kept.
QString mnemonicRichText(const QString& text, bool underline);

}  // namespace zamel
