#include "interpreter/taktler.h"

int main(int argc, char** argv) {
    return taktler::interpreter::Hauptprogramm(argc, argv);
}
