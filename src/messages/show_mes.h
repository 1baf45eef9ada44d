#pragma once
// Every condition the program reports to the operator goes through ShowMes. Where it appears
// depends on the presenter installed: the dialog in korvis, a line on stderr in lmk, a recorder
// with scripted answers in tests.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One argument of a message. C++ has no untyped addresses, so each argument says what it is.
// Texts are UTF-8.
struct MesArg {
    enum class Kind { None, Text, Int32, Int16, String };
    Kind kind = Kind::None;
    std::string text;
    int32_t value = 0;

    static MesArg Text(std::string t) { return {Kind::Text, std::move(t), 0}; }       // %c
    static MesArg Int32(int32_t v) { return {Kind::Int32, {}, v}; }                  // %i %l
    static MesArg Int16(int16_t v) { return {Kind::Int16, {}, v}; }                  // %d
    static MesArg String(std::string t) { return {Kind::String, std::move(t), 0}; }  // %s
};

struct MesRow {
    int32_t code;
    int icon;          // 0 IGreen, 1 IYellow, 2 IRed, 3 IFail
    const char* keys;  // answer key letters, UTF-8
    const char* text;  // with placeholders, UTF-8; "\r\n" where the text breaks a line
};

struct MesButton {
    std::string caption;
    int value;
};

// The answer-key table: the button of one key letter (UTF-8, one Cyrillic letter), or nullptr.
const MesButton* FindAnswerKey(std::string_view keyLetter);

// The whole catalogue in search order.
const std::vector<MesRow>& MesCatalogue();

// The first row with `code`, or nullptr.
const MesRow* FindMesRow(int32_t code);

// Fills the placeholders of `text`: every "%" takes the next argument (a fifth gets none) and the
// letter after it (either case) says how an absent one reads: %c %i %l %d give "0", %s empty text;
// %d keeps the low 16 bits of an integer. Any other letter is copied through with its "%".
std::string FillMesPlaceholders(std::string_view text, const MesArg& a1 = {}, const MesArg& a2 = {},
                                const MesArg& a3 = {}, const MesArg& a4 = {});

// Fills `out` with the text of `code` and returns the row used (row 1000 for an unknown code).
const MesRow& FormatMes(int32_t code, std::string& out, const MesArg& a1 = {}, const MesArg& a2 = {},
                        const MesArg& a3 = {}, const MesArg& a4 = {});

// What a presenter is asked to show.
struct MesRequest {
    int32_t code;                    // as called (LbNum shows it)
    const MesRow* row;               // the row used
    std::string text;                // MesL1
    std::string prompt;              // MesL2
    std::vector<MesButton> buttons;  // B1.. from left to right, at most 6
};

inline constexpr const char* kMesPromptChoose = "Выберите вариант ответа:";            // 2+ buttons
inline constexpr const char* kMesPromptContinue = "Нажмите кнопку для продолжения работы";  // 1 button

// Everything a presenter needs to show `code`: the formatted text, the row's buttons and the prompt.
MesRequest MakeMesRequest(int32_t code, const MesArg& a1 = {}, const MesArg& a2 = {}, const MesArg& a3 = {},
                          const MesArg& a4 = {});

class MesPresenter {
public:
    virtual ~MesPresenter() = default;
    // Shows the request and returns the position (1..buttons.size()) of the button pressed;
    // closing without a button answers 1.
    virtual int Present(const MesRequest& request) = 0;
};

// Installs the presenter (not owned) for the whole process; nullptr restores the console
// presenter. Returns the one installed before (nullptr when it was the console presenter).
MesPresenter* SetMesPresenter(MesPresenter* presenter);

// The lmk presenter: "№<code>: <text>" on stderr, answered with the first button.
class ConsoleMesPresenter : public MesPresenter {
public:
    int Present(const MesRequest& request) override;
};

// Shows the message and returns the value of the answer button. Serialised: safe to call from any
// thread, though only the main thread is expected to.
int ShowMes(int32_t code, const MesArg& a1 = {}, const MesArg& a2 = {}, const MesArg& a3 = {},
            const MesArg& a4 = {});
