// temp_dir.h - a scratch directory for one test, removed with everything in
// it when the test ends.
#ifndef KVL_TESTS_SUPPORT_TEMP_DIR_H
#define KVL_TESTS_SUPPORT_TEMP_DIR_H

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kvl_test {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kvl-XXXXXX").string();
        root_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &root() const { return root_; }
    std::string path(const std::string &name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_TEMP_DIR_H
