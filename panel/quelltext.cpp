// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/quelltext.h"

#include <fstream>
#include <iterator>

#include "datei/satzregeln.h"
#include "services/plattform.h"

namespace taktler::panel {

bool Quelltext::Laden(const std::string& pfad) {
    zeilen_.clear();
    // Only a regular file: reading a pipe would take the run's input.
    const auto info = services::plattform::Status(pfad);
    if (!info || info->art != services::plattform::Dateistatus::Art::Datei ||
        static_cast<std::uint64_t>(info->groesse) > kMaxBytes) {
        return false;
    }
    std::ifstream datei(pfad, std::ios::binary);
    if (!datei) {
        return false;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info->groesse));
    bytes.assign(std::istreambuf_iterator<char>(datei), std::istreambuf_iterator<char>());
    if (bytes.size() > kMaxBytes) {
        return false;  // grew meanwhile
    }
    Setze(bytes);
    return true;
}

void Quelltext::Setze(const std::string& bytes) {
    zeilen_.clear();
    std::size_t anfang = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // The run's own count of editor lines decides where a line ends.
    datei::Umbrueche umbrueche;
    for (std::size_t i = anfang; i < bytes.size(); ++i) {
        const bool nachCR = umbrueche.nachCR;
        const std::int32_t vorher = umbrueche.anzahl;
        umbrueche.Byte(static_cast<unsigned char>(bytes[i]));
        if (umbrueche.anzahl != vorher) {
            zeilen_.push_back(bytes.substr(anfang, i - anfang));
            anfang = i + 1;
        } else if (nachCR && bytes[i] == '\n') {
            anfang = i + 1;  // the LF of a CR LF belongs to the line break before it
        }
    }
    if (anfang < bytes.size()) {
        zeilen_.push_back(bytes.substr(anfang));
    }
}

}  // namespace taktler::panel
