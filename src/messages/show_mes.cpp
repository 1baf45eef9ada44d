// ShowMes and the presenter it goes through.
#include "messages/show_mes.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<MesPresenter*> gPresenter{nullptr};
// One message at a time, whichever thread asks: a dialog is modal, and lines on stderr must not
// interleave.
std::mutex gShowMutex;

// The key letters of a row, one UTF-8 character each.
std::vector<std::string_view> KeyLetters(std::string_view keys) {
    std::vector<std::string_view> letters;
    while (!keys.empty()) {
        const unsigned char lead = static_cast<unsigned char>(keys[0]);
        size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (n > keys.size()) n = keys.size();
        letters.push_back(keys.substr(0, n));
        keys.remove_prefix(n);
    }
    return letters;
}

}  // namespace

MesRequest MakeMesRequest(int32_t code, const MesArg& a1, const MesArg& a2, const MesArg& a3, const MesArg& a4) {
    MesRequest request{code, nullptr, {}, {}, {}};
    request.row = &FormatMes(code, request.text, a1, a2, a3, a4);
    for (std::string_view letter : KeyLetters(request.row->keys)) {
        if (request.buttons.size() == 6) break;
        if (const MesButton* button = FindAnswerKey(letter)) request.buttons.push_back(*button);
    }
    request.prompt = request.buttons.size() >= 2 ? kMesPromptChoose : kMesPromptContinue;
    return request;
}

MesPresenter* SetMesPresenter(MesPresenter* presenter) { return gPresenter.exchange(presenter); }

int ConsoleMesPresenter::Present(const MesRequest& request) {
    std::string text;
    text.reserve(request.text.size());
    for (size_t i = 0; i < request.text.size(); ++i) {
        if (request.text[i] == '\r' && i + 1 < request.text.size() && request.text[i + 1] == '\n') continue;
        text += request.text[i];
    }
    std::fprintf(stderr, "№%d: %s\n", static_cast<int>(request.code), text.c_str());
    std::fflush(stderr);
    return 1;
}

int ShowMes(int32_t code, const MesArg& a1, const MesArg& a2, const MesArg& a3, const MesArg& a4) {
    const MesRequest request = MakeMesRequest(code, a1, a2, a3, a4);
    if (request.buttons.empty()) return 0;
    std::lock_guard lock(gShowMutex);
    static ConsoleMesPresenter console;
    MesPresenter* presenter = gPresenter.load();
    int position = (presenter ? presenter : &console)->Present(request);
    // Closing the dialog without a button, or an answer that names no button, is button 1.
    if (position < 1 || position > static_cast<int>(request.buttons.size())) position = 1;
    return request.buttons[static_cast<size_t>(position) - 1].value;
}
