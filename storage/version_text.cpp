#include "storage/version_text.h"

#include <QDebug>

#include "storage/field_reader.h"

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The component of `text` that starts at `pos` (empty when the text is used
// up); `pos` moves past it and its dot.
QStringView takeComponent(QStringView text, qsizetype& pos) {
    if (pos >= text.size())
        return {};
    const qsizetype dot = text.indexOf(u'.', pos);
    const qsizetype end = dot < 0 ? text.size() : dot;
    const QStringView component = text.sliced(pos, end - pos);
    pos = dot < 0 ? text.size() : dot + 1;
    return component;
}

}  // namespace

bool isValidVersion(const QString& text) {
    if (text.size() < 3)
        return false;
    if (!isAsciiDigit(text.front()) || !isAsciiDigit(text.back()))
        return false;
    bool hasDot = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'.') {
            if (text[i - 1] == u'.')
                return false;
            hasDot = true;
        } else if (!isAsciiDigit(c)) {
            return false;
        }
    }
    return hasDot;
}

bool isNewerVersion(const QString& text, const QString& than) {
    qDebug().noquote() << than << text;
    qsizetype textPos = 0;
    qsizetype thanPos = 0;
    do {
        const QStringView textComponent = takeComponent(text, textPos);
        const QStringView thanComponent = takeComponent(than, thanPos);
        qDebug().noquote() << thanComponent << textComponent;
        const std::uint64_t textValue = parseDecimal(textComponent.toLatin1());
        const std::uint64_t thanValue = parseDecimal(thanComponent.toLatin1());
        if (textValue != thanValue)
            return textValue > thanValue;
    } while (textPos < text.size() || thanPos < than.size());
    return false;
}
