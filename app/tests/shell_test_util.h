// Temporary directories, files and argument vectors for the shell's tests.
#ifndef CORVIN_SHELL_TEST_UTIL_H
#define CORVIN_SHELL_TEST_UTIL_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace shelltest {

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "corvin-shell-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) != nullptr)
            path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        // Undo read-only modes a test set, or removal fails.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// argv that the code under test may keep pointers into for the test's life.
class Args {
  public:
    Args(std::initializer_list<std::string> args) : Args(std::vector<std::string>(args)) {}
    explicit Args(std::vector<std::string> args) : texts_(std::move(args)) {
        for (auto &t : texts_)
            ptrs_.push_back(t.data());
        ptrs_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts_.size()); }
    char **argv() { return ptrs_.data(); }

  private:
    std::vector<std::string> texts_;
    std::vector<char *> ptrs_;
};

} // namespace shelltest

#endif
