// A fresh folder under the system temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wrenpost::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::wstring& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Whole-file helpers for assertions on exact bytes.
std::string ReadAllBytes(const std::filesystem::path& path);
void WriteAllBytes(const std::filesystem::path& path, const std::string& bytes);

// The dated backups "<stem>.<stamp>.bak" beside a rules file, oldest first.
std::vector<std::filesystem::path> DatedBackups(const std::filesystem::path& rulesPath);

}  // namespace wrenpost::testing
