// Problems the user must see whatever window is shown (files that cannot be
// written): a message box that stays until it is closed, without blocking
// the program, and the same text on standard error. A new problem while the
// box is up takes its place.
#pragma once

#include <QPointer>
#include <QString>

class QMessageBox;

class ProblemNotice {
public:
    ProblemNotice() = default;
    ProblemNotice(const ProblemNotice&) = delete;
    ProblemNotice& operator=(const ProblemNotice&) = delete;
    ~ProblemNotice();

    void show(const QString& text);

    // The box, while it is up (for tests).
    QMessageBox* box() const;

private:
    QPointer<QMessageBox> box_;
};
