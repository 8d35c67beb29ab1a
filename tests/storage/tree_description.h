// A readable text of everything a Tree holds, walked without its cursors,
// for comparing trees in tests:
//
//   Monitor 'ID' 'key' 'string' 'output'           (+ " global 'text'")
//     640x480
//       32 0 60 'NULL'                               (+ " +curve")
#pragma once

#include <QString>

#include "tree/display_records.h"
#include "tree/tree.h"

inline QString quotedText(const QString& text) {
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

inline QString describeMode(const Mode& mode) {
    QString line = QStringLiteral("    %1 %2 %3 %4")
                       .arg(mode.devMode.dmBitsPerPel)
                       .arg(mode.devMode.dmDisplayFlags)
                       .arg(mode.devMode.dmDisplayFrequency)
                       .arg(quotedText(mode.profile));
    if (mode.hasCurve)
        line += QStringLiteral(" +curve");
    return line + QLatin1Char('\n');
}

inline QString describeTree(const Tree& tree) {
    QString text;
    for (const Monitor* m = tree.monitorHead()->nextNode.get(); m; m = m->nextNode.get()) {
        text += QStringLiteral("Monitor %1 %2 %3 %4")
                    .arg(quotedText(fieldText(m->displayDevice.DeviceID)),
                         quotedText(fieldText(m->displayDevice.DeviceKey)),
                         quotedText(fieldText(m->displayDevice.DeviceString)),
                         quotedText(fieldText(m->OutputDevice)));
        if (m->globalAssociation) {
            text += QStringLiteral(" global ");
            if (m->globalMode) {
                text += quotedText(m->globalMode->profile);
                if (m->globalMode->hasCurve)
                    text += QStringLiteral(" +curve");
            }
        }
        text += QLatin1Char('\n');
        for (const Resolution* r = m->resolutionHead->nextNode.get(); r; r = r->nextNode.get()) {
            text += QStringLiteral("  %1x%2\n").arg(r->width).arg(r->height);
            for (const Mode* mode = r->modeHead->nextNode.get(); mode; mode = mode->nextNode.get())
                text += describeMode(*mode);
        }
    }
    return text;
}
