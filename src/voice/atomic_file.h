#pragma once
// Files that other runs rely on (packed voices, decoded MP3s) are written under a temporary name
// in the target's folder and renamed over the target only when complete, so that a failure never
// leaves a half-written file that a later build would take for current.
#include <cstdio>
#include <string>

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Discard(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `target`. False when it cannot be created.
    bool Create(const std::string& target);
    std::FILE* file() const { return file_; }
    // Flushes, closes and renames over the target. False (and nothing left behind) on any error.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

private:
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
};
