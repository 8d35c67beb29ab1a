#include "app/startup.h"

int main(int argc, char** argv) {
    return runTavrin(argc, argv, TAVRIN_UPDATE_URL);
}
