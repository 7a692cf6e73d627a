#include "datei/datei.h"

namespace taktler::datei {

void ModulFreigeben(DateiModulzustand& z) {
    for (DateiADO* datei : z.Lebende) {
        if (datei->FilePtr != nullptr) {
            std::fclose(datei->FilePtr);
        }
        delete datei->Verzeichnisse;
        delete datei;
    }
    z.Lebende.clear();
}

}  // namespace taktler::datei
