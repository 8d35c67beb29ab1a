#include "ui/polling_period_validator.h"

#include <limits>

QValidator::State PollingPeriodValidator::validate(QString& input, int&) const {
    if (input.isEmpty())
        return Intermediate;
    for (QChar c : input)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    bool fits = false;
    input.toInt(&fits, 10);
    return fits ? Acceptable : Invalid;
}
