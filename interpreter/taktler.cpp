#include "interpreter/taktler.h"

namespace taktler::interpreter {

int Hauptprogramm(int /*argc*/, char** /*argv*/) {
    return 0;
}

}  // namespace taktler::interpreter
