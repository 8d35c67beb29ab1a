#include "ui/program_pictures.h"

#include <QImage>

namespace {

QImage original(bool loopOn) {
    return QImage(loopOn ? QStringLiteral(":/icon_on.png") : QStringLiteral(":/icon_off.png"));
}

QPixmap scaled(const QImage& image, int side) {
    return QPixmap::fromImage(
        image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

QIcon programIcon(bool loopOn) {
    const QImage image = original(loopOn);
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128}) icon.addPixmap(scaled(image, side));
    return icon;
}

QPixmap programPicture(int side) {
    return scaled(original(true), side);
}
