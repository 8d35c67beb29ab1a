// The program's two pictures, ":/icon_on.png" (the watch loop runs) and
// ":/icon_off.png" (it is stopped), 500 x 500 each, at the sizes the
// desktop shows them: the tray icon and the window icon keep small copies
// rather than the whole picture, and nothing keeps the decoded original.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon programIcon(bool loopOn);
// ":/icon_on.png" at `side` device pixels square.
QPixmap programPicture(int side);
