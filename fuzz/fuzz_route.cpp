// Any bytes as a route file. Its template file, when it names one, is the fixed scratch name below;
// the reader's messages go to a presenter that only counts them.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "messages/show_mes.h"
#include "model/route_file.h"

namespace {
class CountingPresenter : public MesPresenter {
public:
    int Present(const MesRequest& request) override {
        if (request.code != 1008) __builtin_trap();  // the only message the reader may show
        ++shown;
        return 1;
    }
    int shown = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CountingPresenter presenter;
    static const bool installed = (SetMesPresenter(&presenter), true);
    (void)installed;
    static const std::string path = "/tmp/korvis-fuzz-route-" + std::to_string(getpid()) + ".lin";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    presenter.shown = 0;
    TvcLine* route = OpenRoute(path, nullptr);
    bool ok = LoadRoute(route);
    if (ok == (presenter.shown != 0)) __builtin_trap();  // a file that reads never fails, a bad one says so
    if (ok) {
        if (route->StopCount != static_cast<int32_t>(route->Stops.size())) __builtin_trap();
        if (route->LegStartCount > kMaxLegStarts || route->TerminalCount > kMaxTerminals) __builtin_trap();
        if (route->Terminals[static_cast<size_t>(route->TerminalCount)] != route->StopCount - 1) __builtin_trap();
        for (const TvcStop& s : route->Stops)
            for (const auto& name : s.StopName)
                if (name && name->size() > kStopNameMax) __builtin_trap();
    }
    ReleaseRoute(route);
    ClearTemplateTable();
    if (RouteTable[0] != nullptr) __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
