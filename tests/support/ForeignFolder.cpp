#include "support/ForeignFolder.h"

#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

namespace torven::test {

namespace fs = std::filesystem;

ForeignFolder::ForeignFolder() {
    std::string pattern = "/dev/shm/torven-foreign-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp in /dev/shm failed");
    path_ = pattern;
}

ForeignFolder::~ForeignFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool ForeignFolder::linkFrom(const fs::path& link) const {
    fs::remove_all(link);
    fs::create_directory_symlink(path_, link);
    struct stat here {};
    struct stat there {};
    return ::stat(link.parent_path().c_str(), &here) == 0 && ::stat(path_.c_str(), &there) == 0 &&
           here.st_dev != there.st_dev;
}

}  // namespace torven::test
