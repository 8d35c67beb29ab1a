#include "storage/version_text.h"
#include "core/debug_output.h"

#include <algorithm>

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

namespace {

// Compares two components by their decimal values: <0, 0 or >0. Digit
// strings are compared as numbers of any length (leading zeros do not
// count); anything else by its parseDecimal value.
int compareComponents(QStringView a, QStringView b) {
    const auto digitsOnly = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return isAsciiDigit(c); });
    };
    if (digitsOnly(a) && digitsOnly(b)) {
        const auto significant = [](QStringView s) {
            while (!s.isEmpty() && s.front() == u'0') s = s.mid(1);
            return s;
        };
        a = significant(a);
        b = significant(b);
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        return a.compare(b);
    }
    const std::uint64_t x = parseDecimal(a.toLatin1());
    const std::uint64_t y = parseDecimal(b.toLatin1());
    return x == y ? 0 : (x < y ? -1 : 1);
}

}  // namespace

bool isNewerVersion(const QString& text, const QString& than) {
    qCDebug(tavrinDebug).noquote() << than << text;
    qsizetype textPos = 0;
    qsizetype thanPos = 0;
    do {
        const QStringView textComponent = takeComponent(text, textPos);
        const QStringView thanComponent = takeComponent(than, thanPos);
        qCDebug(tavrinDebug).noquote() << thanComponent << textComponent;
        if (const int order = compareComponents(textComponent, thanComponent); order != 0)
            return order > 0;
    } while (textPos < text.size() || thanPos < than.size());
    return false;
}
