// The program's two pictures, ":/icon_on.png" (the watch loop runs) and
// ":/icon_off.png" (it is stopped), 500 x 500 each, at the sizes the
// desktop shows them: an icon decodes its picture only when it is first
// drawn, at the size drawn, and keeps that small copy; nothing keeps the
// decoded original, and a program that shows nothing decodes nothing.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon programIcon(bool loopOn);
// ":/icon_on.png" at `side` device pixels square.
QPixmap programPicture(int side);
