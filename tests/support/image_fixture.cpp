#include "support/image_fixture.h"

#include <fstream>

namespace fs = std::filesystem;

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    ::setenv(name, value, 1);
    if (name_ == "TZ") ::tzset();
}

ScopedEnv::~ScopedEnv() {
    if (previous_)
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
    if (name_ == "TZ") ::tzset();
}

void AgeVoiceFiles(const fs::path& folder) {
    const auto now = fs::file_time_type::clock::now();
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        const bool packed = e.path().extension() == ".fvp";
        fs::last_write_time(e.path(), now - std::chrono::hours(packed ? 24 : 48));
    }
}

void CopyReferenceGroup(const fs::path& from, const fs::path& to) {
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(to))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
    AgeVoiceFiles(to);
}

std::vector<uint8_t> WritePackedVoice(const fs::path& folder, const std::string& name, int32_t size, uint8_t rateCode,
                                      uint8_t seed) {
    const fs::path source = folder / name;
    fs::create_directories(source.parent_path());
    std::ofstream(source, std::ios::binary) << "RIFF placeholder";
    std::string packedName = source.stem().string() + "_" + source.extension().string().substr(1) + ".fvp";
    const fs::path packed = source.parent_path() / packedName;
    std::vector<uint8_t> data(static_cast<size_t>(size));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    {
        std::ofstream f(packed, std::ios::binary);
        const char header[4] = {0x20, 3, static_cast<char>(rateCode), 0};
        f.write(header, 4);
        f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(source, now - std::chrono::hours(48));
    fs::last_write_time(packed, now - std::chrono::hours(24));
    return data;
}

ImageGroupFixture::ImageGroupFixture(fs::path f) : folder(std::move(f)) {}

RouteDescription& ImageGroupFixture::AddRoute(const std::string& name, int stops, const std::string& templateName,
                                              int32_t voiceSize) {
    RouteDescription r;
    r.routeName = name;
    r.templateFile = "stops.tpl";
    r.routeVoices[0] = "voice\\" + name + "_route.wav";
    WritePackedVoice(folder, "voice/" + name + "_route.wav", voiceSize);
    for (int k = 0; k < stops; ++k) {
        StopDescription s;
        s.names[0] = name + " stop " + std::to_string(k);
        s.templateName = templateName;
        s.voices[0] = "voice\\" + name + "_" + std::to_string(k) + ".wav";
        WritePackedVoice(folder, "voice/" + name + "_" + std::to_string(k) + ".wav", voiceSize, 1,
                         static_cast<uint8_t>(k));
        r.stops.push_back(s);
    }
    routes.push_back(r);
    return routes.back();
}

void ImageGroupFixture::AddTemplate(int32_t number, const std::string& name,
                                    const std::vector<std::pair<std::string, std::vector<std::string>>>& events) {
    templ.items.push_back({number, 0, 0, name});
    int32_t section = 1;
    for (const auto& [marker, lines] : events) {
        templ.items.push_back({number, section, 0, marker});
        int32_t line = 1;
        for (const std::string& l : lines) templ.items.push_back({number, section, line++, l});
        ++section;
    }
}

std::string ImageGroupFixture::Write() const {
    GroupDescription g;
    for (size_t i = 0; i < routes.size(); ++i) {
        const std::string file = "r" + std::to_string(i) + ".lin";
        WriteRouteFile((folder / file).string(), routes[i]);
        g.routes.push_back(file);
    }
    WriteTemplateFile((folder / "stops.tpl").string(), templ);
    const std::string group = (folder / "group.mrg").string();
    WriteGroupFile(group, g);
    return group;
}
