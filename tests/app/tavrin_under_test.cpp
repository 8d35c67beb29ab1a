// The program as the tests run it: the same start-up, with its update check
// pointed at the address in TAVRIN_TEST_UPDATE_URL (a test's loopback
// server) or else at a closed port on this machine, so that no test reaches
// beyond it.
#include <cstdlib>

#include "app/startup.h"

int main(int argc, char** argv) {
    const char* url = std::getenv("TAVRIN_TEST_UPDATE_URL");
    return runTavrin(argc, argv, url && *url ? url : "http://127.0.0.1:1/U.txt");
}
