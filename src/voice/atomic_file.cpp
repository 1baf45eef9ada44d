#include "voice/atomic_file.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

bool AtomicFile::Create(const std::string& target) {
    Discard();
    target_ = target;
    temp_ = target + ".tmp-XXXXXX";
    int fd = mkstemp(temp_.data());
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        std::remove(temp_.c_str());
        temp_.clear();
        return false;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (ok) {
        // mkstemp makes the file readable by its owner only; give it the usual permissions.
        mode_t mask = umask(0);
        umask(mask);
        chmod(temp_.c_str(), 0666 & ~mask);
        ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
    }
    if (!ok) std::remove(temp_.c_str());
    temp_.clear();
    return ok;
}

void AtomicFile::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
}
