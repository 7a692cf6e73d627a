// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/quelltext.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace taktler::panel {

bool Quelltext::Laden(const std::string& pfad) {
    zeilen_.clear();
    // Only a regular file: reading a pipe would take the run's input.
    struct stat info {};
    if (::stat(pfad.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > kMaxBytes) {
        return false;
    }
    std::ifstream datei(pfad, std::ios::binary);
    if (!datei) {
        return false;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
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
    std::size_t i = anfang;
    for (; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))) {
            zeilen_.push_back(bytes.substr(anfang, i - anfang));
            anfang = i + 1;
        } else if (bytes[i] == '\r') {
            zeilen_.push_back(bytes.substr(anfang, i - anfang));
            anfang = i + 2;  // the LF after it ends the same line
            ++i;
        }
    }
    if (anfang < bytes.size()) {
        zeilen_.push_back(bytes.substr(anfang));
    }
}

}  // namespace taktler::panel
