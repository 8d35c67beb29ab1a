// The smallest Qt Widgets program that lives as Tavrin does with -hide: an
// application object, a window made and never shown, a tray icon, and the
// event loop. The memory benchmark starts it beside Tavrin.
#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    QSystemTrayIcon tray;
    tray.setVisible(true);
    return QApplication::exec();
}
