#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "korvis-XXXXXX").string();
        char* made = mkdtemp(templ.data());
        path_ = made ? std::filesystem::path(made) : std::filesystem::path();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The folder with a trailing slash, as a base folder of a description file.
    std::string folder() const { return path_.string() + "/"; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes into a file below the folder (making folders on the way); returns its path.
    std::string write(std::string_view name, std::string_view bytes) const {
        std::filesystem::path p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

private:
    std::filesystem::path path_;
};
