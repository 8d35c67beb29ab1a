#include "ui/problem_notice.h"

#include <cstdio>

#include <QMessageBox>

ProblemNotice::~ProblemNotice() {
    delete box_;
}

QMessageBox* ProblemNotice::box() const {
    return box_;
}

void ProblemNotice::show(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (!box_) {
        box_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavrin"), text,
                               QMessageBox::Ok);
        box_->setAttribute(Qt::WA_DeleteOnClose);
        box_->setModal(false);
    }
    box_->setText(text);
    box_->show();
    box_->raise();
}
