// What the polling period field takes: digits only (no sign), for a number
// the settings file can hold (0 to 2147483647 milliseconds). Anything else
// is refused as it is typed or pasted, so a negative or overlong number
// never reaches the setting; an empty field is allowed while typing.
#pragma once

#include <QValidator>

class PollingPeriodValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
