// Filling a catalogue text from the caller's arguments.
#include <algorithm>
#include <string>

#include "messages/show_mes.h"

namespace {

// Bytes of the UTF-8 character that starts with `lead`; a stray byte counts as one.
size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

std::string Insert(char letter, const MesArg& arg) {
    const bool isInt = arg.kind == MesArg::Kind::Int32 || arg.kind == MesArg::Kind::Int16;
    switch (letter) {
        case 'c': case 'C':
        case 'i': case 'I':
        case 'l': case 'L':
            if (arg.kind == MesArg::Kind::None) return "0";
            return isInt ? std::to_string(arg.value) : arg.text;
        case 'd': case 'D':
            if (arg.kind == MesArg::Kind::None) return "0";
            // The argument names a 16-bit value: only its low half is read.
            return isInt ? std::to_string(static_cast<int16_t>(arg.value)) : arg.text;
        case 's': case 'S':
            if (arg.kind == MesArg::Kind::None) return {};
            return isInt ? std::to_string(arg.value) : arg.text;
        default:
            return {};
    }
}

bool IsPlaceholder(char letter) {
    switch (letter) {
        case 'c': case 'C': case 'i': case 'I': case 'l': case 'L':
        case 'd': case 'D': case 's': case 'S':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string FillMesPlaceholders(std::string_view text, const MesArg& a1, const MesArg& a2, const MesArg& a3,
                                const MesArg& a4) {
    const MesArg none;
    const MesArg* args[] = {&a1, &a2, &a3, &a4};
    size_t next = 0;
    std::string out;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t pct = rest.find('%');
        if (pct == std::string_view::npos) {
            out += rest;
            break;
        }
        // Every "%" uses up an argument, also one that turns out not to be a placeholder.
        const MesArg& arg = next < 4 ? *args[next] : none;
        ++next;
        out += rest.substr(0, pct);
        rest.remove_prefix(pct + 1);
        if (rest.empty()) {
            out += '%';
            break;
        }
        const size_t letterLength = std::min(Utf8Length(static_cast<unsigned char>(rest[0])), rest.size());
        if (letterLength == 1 && IsPlaceholder(rest[0]))
            out += Insert(rest[0], arg);
        else
            out.append("%").append(rest.substr(0, letterLength));
        rest.remove_prefix(letterLength);
    }
    return out;
}

const MesRow& FormatMes(int32_t code, std::string& out, const MesArg& a1, const MesArg& a2, const MesArg& a3,
                        const MesArg& a4) {
    const MesRow* row = FindMesRow(code);
    if (!row) {
        row = FindMesRow(1000);
        out = FillMesPlaceholders(row->text, MesArg::Int32(1000), a2, a3, a4);
        return *row;
    }
    if (row->code == -1)
        out = FillMesPlaceholders(row->text, MesArg::Int32(code), a2, a3, a4);
    else
        out = FillMesPlaceholders(row->text, a1, a2, a3, a4);
    return *row;
}
