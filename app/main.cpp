#include "app/hauptprogramm.h"

int main(int argc, char** argv) {
    return taktler::app::Hauptprogramm(argc, argv);
}
