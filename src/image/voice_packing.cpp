#include "image/voice_packing.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "base/native_path.h"
#include "messages/show_mes.h"
#include "model/group_file.h"
#include "model/route_file.h"
#include "voice/voice_item.h"

namespace {

// The readers report malformed files themselves; the build reads them again and reports then.
class SilentPresenter : public MesPresenter {
public:
    int Present(const MesRequest&) override { return 1; }
};

class QuietMessages {
public:
    QuietMessages() : previous_(SetMesPresenter(&silent_)) {}
    ~QuietMessages() { SetMesPresenter(previous_); }

private:
    SilentPresenter silent_;
    MesPresenter* previous_;
};

bool NonEmpty(const OptStr& s) { return s && !s->empty(); }

}  // namespace

std::vector<std::string> GroupVoiceFiles(const std::string& groupFile) {
    QuietMessages quiet;
    std::vector<std::string> files;
    std::set<std::string> seen;
    auto add = [&](const OptStr& name, const OptStr& file) {
        if (!NonEmpty(name) || !NonEmpty(file)) return;
        // Two spellings of one file must not be packed by two threads at once.
        if (seen.insert(NativePath(*file)).second) files.push_back(*file);
    };

    TvcGroupLine* group = OpenGroup(groupFile);
    if (!group) return files;
    if (LoadGroup(group)) {
        for (int32_t i = 0; i < group->RouteCount; ++i) {
            TvcLine* route = OpenRoute(group->RouteFiles[static_cast<size_t>(i)], nullptr);
            if (route && LoadRoute(route) && route->Loaded) {
                for (int lang = 0; lang < 3; ++lang) {
                    size_t l = static_cast<size_t>(lang);
                    add(route->RouteVoiceName[l], route->RouteVoiceFile[l]);
                    add(route->Term1VoiceName[l], route->Term1VoiceFile[l]);
                    add(route->Term2VoiceName[l], route->Term2VoiceFile[l]);
                }
                std::set<std::string> templateNames;
                for (const TvcStop& stop : route->Stops) {
                    for (size_t l = 0; l < 3; ++l) add(stop.VoiceName[l], stop.VoiceFile[l]);
                    templateNames.insert(stop.TemplateName.value_or(std::string()));
                }
                if (route->Template) {
                    const auto& items = route->Template->Items;
                    std::set<int32_t> numbers;
                    for (const TvcTemplItem& it : items)
                        if (it.Section == 0 && it.Line == 0 && templateNames.count(it.Text)) numbers.insert(it.Number);
                    for (const TvcTemplItem& it : items)
                        if (it.Section != 0 && it.Line != 0 && numbers.count(it.Number) && !it.Text.empty() &&
                            it.Text[0] != '<')
                            add(it.Text, it.TextFile);
                }
            }
            ReleaseRoute(route);
        }
    }
    ReleaseGroup(group);
    return files;
}

void PackGroupVoices(const std::string& groupFile, unsigned threads,
                     const std::function<void(const std::string& file)>& packing) {
    const std::vector<std::string> files = GroupVoiceFiles(groupFile);
    if (files.empty()) return;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(files.size()));

    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < files.size();) {
            if (packing) packing(files[i]);
            PreparePackedVoice(files[i]);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
}
