// The program as the tests run it: the same start-up as main's, with the
// update check pointed where a test says (TAVRIN_TEST_UPDATE_URL, a
// loopback server of the test's), by default at a closed port on this
// machine, so that no test reaches beyond it.
#include <QByteArray>
#include <QtGlobal>

#include "app/startup.h"

int main(int argc, char** argv) {
    const QByteArray url = qgetenv("TAVRIN_TEST_UPDATE_URL");
    return runTavrin(argc, argv, url.isEmpty() ? "http://127.0.0.1:1/U.txt" : url.constData());
}
