#include "ui/fitted_font.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

namespace {

constexpr double smallestPointSize = 6.0;
// A push button's frame around its text.
constexpr int buttonMargin = 6;

bool textFits(const QWidget* w) {
    const QFontMetrics metrics(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        QString text = label->text();
        if (text.isEmpty())
            return true;
        if (Qt::mightBeRichText(text)) {
            QTextDocument document;
            document.setHtml(text);
            text = document.toPlainText();
        }
        return metrics.horizontalAdvance(text) <= w->width();
    }
    if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
        return w->sizeHint().width() <= w->width();
    if (const auto* button = qobject_cast<const QPushButton*>(w))
        return metrics.horizontalAdvance(button->text()) + buttonMargin <= w->width();
    return true;
}

bool allTextsFit(const QWidget* form) {
    for (const QWidget* w : form->findChildren<QWidget*>())
        if (!textFits(w))
            return false;
    return true;
}

}  // namespace

namespace {

// Fits the watched form's font at its first show, then goes.
class FitAtFirstShow : public QObject {
public:
    explicit FitAtFirstShow(QWidget* form) : QObject(form) { form->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            fitFontToRectangles(static_cast<QWidget*>(watched));
            deleteLater();
        }
        return false;
    }
};

}  // namespace

void fitFontToRectanglesWhenShown(QWidget* form) {
    new FitAtFirstShow(form);
}

void fitFontToRectangles(QWidget* form) {
    QFont font = form->font();
    if (font.pointSizeF() <= 0)
        return;  // a font in pixels: left as the desktop set it
    while (!allTextsFit(form) && font.pointSizeF() - 0.5 >= smallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        form->setFont(font);
    }
}
