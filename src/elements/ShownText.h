#pragma once
// Texts hold file names as the file system's bytes: a byte that is not UTF-8 is kept as a lone
// surrogate (see zr::FromOsText), which no font can draw. Lists and trees show it as the
// replacement character U+FFFD and keep the text itself unchanged.

#include <QString>

namespace zr::ui {

[[nodiscard]] inline QString ShownText(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool paired = c.isHighSurrogate()
                                ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                                : c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
        if (c.isSurrogate() && !paired) {
            if (shown.isNull()) {
                shown = text;
            }
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown.isNull() ? text : shown;
}

} // namespace zr::ui
