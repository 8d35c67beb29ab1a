#include "ui/program_pictures.h"

#include <QIconEngine>
#include <QImageReader>
#include <QMap>
#include <QPainter>

namespace {

QString resource(bool loopOn) {
    return loopOn ? QStringLiteral(":/icon_on.png") : QStringLiteral(":/icon_off.png");
}

// The picture at `side` pixels square, decoded and scaled at once.
QPixmap pictureAt(bool loopOn, int side) {
    QImageReader reader(resource(loopOn));
    QImage image = reader.read();
    if (image.isNull() || side <= 0)
        return {};
    return QPixmap::fromImage(
        image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// An icon that decodes its picture only when someone draws it, at the size
// drawn, and keeps each size it made.
class PictureEngine : public QIconEngine {
public:
    explicit PictureEngine(bool loopOn) : loopOn_(loopOn) {}
    PictureEngine(const PictureEngine&) = default;

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        auto it = made_.find(side);
        if (it == made_.end())
            it = made_.insert(side, pictureAt(loopOn_, side));
        return *it;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }
    QIconEngine* clone() const override { return new PictureEngine(*this); }
    QString key() const override { return QStringLiteral("TavrinPicture"); }

private:
    bool loopOn_;
    QMap<int, QPixmap> made_;
};

}  // namespace

QIcon programIcon(bool loopOn) {
    return QIcon(new PictureEngine(loopOn));
}

QPixmap programPicture(int side) {
    return pictureAt(true, side);
}
