// A scratch directory for the services tests, removed with its contents.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace taktler::test {

class TempVerzeichnis {
  public:
    TempVerzeichnis() {
        std::string muster =
            (std::filesystem::temp_directory_path() / "taktler_svc_XXXXXX").string();
        if (::mkdtemp(muster.data()) != nullptr) {
            pfad_ = muster;
        }
    }
    ~TempVerzeichnis() {
        std::error_code fehler;
        std::filesystem::remove_all(pfad_, fehler);
    }
    TempVerzeichnis(const TempVerzeichnis&) = delete;
    TempVerzeichnis& operator=(const TempVerzeichnis&) = delete;

    const std::string& pfad() const { return pfad_; }

    // Writes a file below the directory, creating the directories on the way.
    std::string Datei(const std::string& name, const std::string& inhalt = "x") const {
        std::filesystem::path ziel = std::filesystem::path(pfad_) / name;
        std::filesystem::create_directories(ziel.parent_path());
        std::ofstream(ziel, std::ios::binary) << inhalt;
        return ziel.string();
    }

  private:
    std::string pfad_;
};

}  // namespace taktler::test
