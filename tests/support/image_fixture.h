#pragma once
// Fixtures for building images: voices that count as already packed (a placeholder source and a
// packed file made after it), small route groups written with the description-file writer, and
// the environment a reproducible build needs.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "model/description_writer.h"

// Sets an environment variable for its lifetime (and calls tzset for TZ).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Gives every source file a time two days ago and every packed file (.fvp) one day ago, so that
// the packed files count as current.
void AgeVoiceFiles(const std::filesystem::path& folder);

// Copies a reference group folder and ages its voices.
void CopyReferenceGroup(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes `name` (a placeholder source, e.g. "voice/a.wav") and its packed file with `size` bytes of
// data after the 4-byte header (0x20, order 3, rate code, 0). The data bytes are a pattern that
// starts with the byte `seed`. Returns the packed data.
std::vector<uint8_t> WritePackedVoice(const std::filesystem::path& folder, const std::string& name, int32_t size,
                                      uint8_t rateCode = 1, uint8_t seed = 0);

// A group in a folder: group.mrg listing the routes r0.lin, r1.lin, ... and one template file
// stops.tpl. Voices are written with WritePackedVoice; call Write() once everything is filled in.
struct ImageGroupFixture {
    explicit ImageGroupFixture(std::filesystem::path folder);

    std::filesystem::path folder;
    TemplateDescription templ;
    std::vector<RouteDescription> routes;

    // A route with a route voice "voice/<name>_route.wav" and `stops` stops named "<name> stop k"
    // (ASCII) using template `templateName`, each with voice "voice/<name>_k.wav"; voices of
    // `voiceSize` bytes are written for all of them.
    RouteDescription& AddRoute(const std::string& name, int stops, const std::string& templateName,
                               int32_t voiceSize = 64);
    // Appends a template: a name entry and, per event, a header with its marker and its lines.
    void AddTemplate(int32_t number, const std::string& name,
                     const std::vector<std::pair<std::string, std::vector<std::string>>>& events);

    // Writes the files; returns the group file's native path.
    std::string Write() const;
};
