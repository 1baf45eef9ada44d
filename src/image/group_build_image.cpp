#include "image/group_build_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "base/cp1251.h"
#include "base/dos_time.h"
#include "base/little_endian.h"
#include "image/recoding.h"
#include "image/voice_packing.h"
#include "messages/show_mes.h"
#include "model/group_file.h"
#include "model/route_file.h"
#include "voice/voice_item.h"

using namespace image_layout;

namespace {

constexpr uint32_t kChunkSize = 262144;

uint32_t RoundUp4(uint32_t v) { return (v + 3) & ~3u; }

std::string Utf8(const std::optional<std::string>& cp1251) { return cp1251 ? Cp1251ToUtf8(*cp1251) : std::string(); }

}  // namespace

uint32_t BuildTimeDos() {
    // Reproducible images: the moment given by the environment, in local time.
    // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing in this program sets the environment
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        errno = 0;
        long long v = std::strtoll(epoch, &end, 10);
        if (errno == 0 && end && *end == '\0' && v >= 0) return DosDateTimeFromTime(static_cast<std::time_t>(v));
    }
    return NowDosDateTime();
}

TGroupBuildImage::TGroupBuildImage(CartridgeImage& image) : image_(image) {}

TGroupBuildImage::~TGroupBuildImage() {
    ReleaseGroup(Group);
    Group = nullptr;
    ReleaseAllVoices();
}

void TGroupBuildImage::WriteBlock(uint32_t offset, const uint8_t* data, uint32_t length) {
    if (length == 0) return;
    if (offset >= kImageSize) return;
    length = std::min(length, kImageSize - offset);
    std::copy(data, data + length, image_.ImageBuffer.begin() + offset);
    uint32_t last = std::min<uint32_t>((offset + length + 255) / 256 + 1, kPageCount - 1);
    for (uint32_t p = offset / 256; p <= last; ++p) image_.PageMap[p] = 0xFF;
    Cursor += static_cast<int32_t>(length);
    if (Cursor > 0 && static_cast<uint32_t>(Cursor) > image_.ImageEnd) image_.ImageEnd = static_cast<uint32_t>(Cursor);
}

int32_t TGroupBuildImage::CopyVoiceData(int32_t voiceIndex) {
    TvcVoice* v = Voices[static_cast<size_t>(voiceIndex)];
    OpenPackedData(v);
    if (!v->PackedHandle) return 1030;
    uint32_t offset = static_cast<uint32_t>(v->ImageOffset);
    if ((offset & 0xF00000) != (static_cast<uint32_t>(Cursor) & 0xF00000)) Cursor = static_cast<int32_t>(offset);
    chunk_.resize(kChunkSize);
    uint32_t left = static_cast<uint32_t>(v->PackedSize);
    while (left > 0) {
        uint32_t n = std::min(left, kChunkSize);
        if (ReadPackedData(v, chunk_.data(), n) != n) {
            ClosePackedData(v);
            return 2001;
        }
        WriteBlock(offset, chunk_.data(), n);
        offset += n;
        left -= n;
    }
    ClosePackedData(v);
    return 0;
}

void TGroupBuildImage::ResetCollectors() {
    Names.clear();
    Names.setCompact(Options.compact);
    Texts.reset();
    NameOffsets.clear();
    ScriptOffsets.clear();
    Script.clear();
    Voices.clear();
    Events.assign(kReservedEvents, 0);
    DisplayList.clear();
    RouteRecords.clear();
    RouteFirstEvent.clear();
    VoiceSlots.fill(nullptr);
    CurrentRoute = nullptr;
    CurrentStop = nullptr;
}

bool TGroupBuildImage::Build(const std::string& groupFile) {
    if (Options.packInParallel) {
        std::function<void(const std::string&)> packing;
        if (Progress) packing = [this](const std::string& file) { Progress(BuildStep::PackVoice, file); };
        PackGroupVoices(groupFile, Options.packThreads, packing);
    }

    image_.Clear();
    TableSize = DisplaySize = VoiceBytes = Cursor = 0;
    DisplayOffsets = true;
    // Every build interprets its templates from the same start, so that one group always gives
    // one image.
    LanguageSection = 0;

    lastCode_ = Collect(groupFile);
    if (lastCode_ == 0) lastCode_ = Assemble();
    RouteFirstEvent.clear();
    if (lastCode_ != 0) {
        // Nothing of a failed build may reach a cartridge.
        image_.Clear();
        return false;
    }
    return true;
}

int32_t TGroupBuildImage::Collect(const std::string& groupFile) {
    ReleaseAllVoices();
    ResetCollectors();

    for (int s = 0; s < kSegmentCount; ++s) {
        Segments[static_cast<size_t>(s)] = {static_cast<int32_t>(s * kSegmentSize + kSegmentSkip),
                                            static_cast<int32_t>(kSegmentSize - kSegmentSkip)};
    }
    Segments[0].free -= static_cast<int32_t>(kDisplayAreaSize);
    SegmentsInitial = Segments;

    ReleaseGroup(Group);
    Group = OpenGroup(groupFile);
    if (!Group) {
        ShowMes(1026, MesArg::Text(""));
        return 1026;
    }
    if (!LoadGroup(Group)) {
        ShowMes(1008, MesArg::Text(groupFile));
        ReleaseGroup(Group);
        Group = nullptr;
        return 1026;
    }
    const int32_t routeCount = Group->RouteCount;
    if (routeCount > kMaxRoutes) {
        ShowMes(2021);
        return 2021;
    }

    RouteRecords.assign(static_cast<size_t>(routeCount), {});
    RouteFirstEvent.assign(static_cast<size_t>(routeCount), 0);
    // Texts 0, 1 and 2 (0x1F, 0x06, 0x08) are already in the pool.

    for (int32_t i = 0; i < routeCount; ++i) {
        int32_t code = CollectRoute(i);
        if (code != 0) return code;
    }

    const uint32_t S = static_cast<uint32_t>(Script.size());
    const uint32_t C = static_cast<uint32_t>(ScriptOffsets.size());
    const uint32_t N = static_cast<uint32_t>(Voices.size());
    const uint32_t M = static_cast<uint32_t>(NameOffsets.size());
    const uint32_t J = static_cast<uint32_t>(Names.count());
    const uint64_t t1 = RoundUp4(kRouteRecordSize * static_cast<uint32_t>(routeCount) + kHeaderSize + RoundUp4(S) +
                                 2 * C + 4 * N + 2 * M + kNameRecordSize * J);
    TableSize = static_cast<int32_t>(std::min<uint64_t>(t1, 0x7FFFFFFF));

    Segments[0].start += TableSize;
    Segments[0].free -= TableSize;

    bool shortage = false;
    for (TvcVoice* v : Voices) {
        bool placed = false;
        for (int s = 0; s < kVoiceSegments; ++s) {
            VoiceSegment& seg = Segments[static_cast<size_t>(s)];
            if (seg.free >= v->PackedSize) {
                v->ImageOffset = seg.start;
                seg.start += v->PackedSize;
                seg.free -= v->PackedSize;
                VoiceBytes += v->PackedSize;
                placed = true;
                break;
            }
        }
        if (!placed) shortage = true;
    }

    const uint64_t displaySize = 2ull * Events.size() + 2ull * DisplayList.size() + Texts.length();
    DisplaySize = static_cast<int32_t>(std::min<uint64_t>(displaySize, 0x7FFFFFFF));

    if (shortage) {
        ShowMes(2012);
        return 2012;
    }

    Header[0] = static_cast<uint8_t>(routeCount);
    Header[1] = BlockCount(VoiceBytes, TableSize);
    uint16_t flags = TextVariantBits(Options.lang2ToV23);
    if (Options.compact) flags |= kFlagCompact;
    if (DisplayOffsets) flags |= kFlagDisplayOffsets;
    if (Options.substituteTatar) flags |= kFlagTatar;
    WriteLe16(&Header[2], flags);
    WriteLe32(&Header[4], BuildTimeDos());

    if (TableSize > kMaxTableSize) {
        ShowMes(2021);
        return 2021;
    }
    // Past 64 KB the display offsets would wrap and the boards would show the wrong texts.
    if (displaySize > kDisplayAreaSize) {
        ShowMes(2021);
        return 2021;
    }
    return 0;
}

int32_t TGroupBuildImage::CollectRoute(int32_t i) {
    const std::string& routeFile = Group->RouteFiles[static_cast<size_t>(i)];
    if (Progress) Progress(BuildStep::Route, routeFile);
    // Routes are released as soon as their tables are built, so each is opened unlinked.
    TvcLine* route = OpenRoute(routeFile, nullptr);
    CurrentRoute = route;
    // Every route goes back to the table however its build ends, so that the next build reads
    // the route file again.
    struct Release {
        TGroupBuildImage* self;
        TvcLine* route;
        ~Release() {
            ReleaseRoute(route);
            self->CurrentRoute = nullptr;
            self->CurrentStop = nullptr;
        }
    } release{this, route};

    if (!route || !LoadRoute(route) || !route->Loaded || route->StopCount < 1 || route->Stops.empty()) {
        ShowMes(1028, MesArg::Text(routeFile));
        return 1028;
    }
    if (!route->TemplateFile || route->TemplateFile->empty()) {
        ShowMes(1023, MesArg::Text(routeFile));
        return 1023;
    }

    auto& rec = RouteRecords[static_cast<size_t>(i)];
    rec.fill(0);
    RouteFirstEvent[static_cast<size_t>(i)] = static_cast<int32_t>(Events.size());
    rec[0] = static_cast<uint16_t>(Names.AddName(route->RouteName.value_or(std::string())));
    rec[1] = 0xFFFF;
    rec[2] = static_cast<uint16_t>(ScriptOffsets.size());
    rec[3] = static_cast<uint16_t>(NameOffsets.size());

    // Route voice, terminal 1, terminal 2, each in languages 1, 2, 3; slots 3-5, 9-11, 14-16.
    const std::array<const std::array<OptStr, 3>*, 3> files = {&route->RouteVoiceFile, &route->Term1VoiceFile,
                                                               &route->Term2VoiceFile};
    const std::array<const std::array<OptStr, 3>*, 3> names = {&route->RouteVoiceName, &route->Term1VoiceName,
                                                               &route->Term2VoiceName};
    constexpr int kLanguageBase[3] = {0, 6, 11};
    std::array<int, 9> order{};
    int n = 0;
    for (int role = 0; role < 3; ++role) {
        for (int lang = 0; lang < 3; ++lang) {
            int slot = kLanguageBase[lang] + 2 + role;
            VoiceSlots[static_cast<size_t>(slot)] = nullptr;
            order[static_cast<size_t>(n++)] = slot;
            const OptStr& name = (*names[static_cast<size_t>(role)])[static_cast<size_t>(lang)];
            const OptStr& file = (*files[static_cast<size_t>(role)])[static_cast<size_t>(lang)];
            if (name && !name->empty()) VoiceSlots[static_cast<size_t>(slot)] = AcquireVoice(file.value_or(""));
        }
    }
    for (int slot : order) {
        TvcVoice* v = VoiceSlots[static_cast<size_t>(slot)];
        if (!v) continue;
        if (v->Error.ErrorCode != 0) return v->Error.ErrorCode;
        UseVoice(v);
    }

    TvcVoice* routeVoice = VoiceSlots[2];
    if (!routeVoice) {
        ShowMes(1030, MesArg::Text(" Маршрут: " + Utf8(route->RouteName) +
                                   " Зв. файл: " + route->RouteVoiceFile[0].value_or("")));
        return 1030;
    }
    rec[1] = static_cast<uint16_t>(routeVoice->VoiceIndex);

    if (int32_t code = BuildRoute(*route); code != 0) return code;

    if (route->EventCount > 0 && !Script.empty()) Script.back() = kScriptRouteEnd;
    rec[10] = static_cast<uint16_t>(route->EventCount);
    return 0;
}

int32_t TGroupBuildImage::Assemble() {
    const uint32_t R = static_cast<uint32_t>(RouteRecords.size());
    const uint32_t S = static_cast<uint32_t>(Script.size());
    const uint32_t C = static_cast<uint32_t>(ScriptOffsets.size());
    const uint32_t M = static_cast<uint32_t>(NameOffsets.size());
    const uint32_t J = static_cast<uint32_t>(Names.count());
    const uint32_t E = static_cast<uint32_t>(Events.size());
    const uint32_t D = static_cast<uint32_t>(DisplayList.size());
    const uint32_t A1 = kRouteTableOffset + kRouteRecordSize * R;
    const uint32_t A2 = A1 + 2 * C;
    const uint32_t A3 = A2 + 2 * M;
    const uint32_t A4 = A3 + kNameRecordSize * J;
    const uint32_t A5 = A4 + RoundUp4(S);

    std::vector<uint8_t> script = Script;
    for (size_t p = 0; p < script.size();) {
        uint8_t code = script[p];
        if (code == kScriptPause) {
            p += 3;
        } else if (code == kScriptVoice && p + 2 < script.size()) {
            uint32_t v = ReadLe16(&script[p + 1]);
            uint32_t off = 4 * v + A5;
            WriteLe16(&script[p + 1], static_cast<uint16_t>(off > 0xFFFF ? 0 : off));
            p += 3;
        } else if (code == kScriptReserved && p + 1 < script.size()) {
            p += 2u + script[p + 1] + 1u;
        } else {
            p += 1;
        }
    }

    std::vector<uint8_t> scriptTable(2 * C);
    for (uint32_t i = 0; i < C; ++i)
        WriteLe16(&scriptTable[2 * i], static_cast<uint16_t>(ScriptOffsets[i] + static_cast<int32_t>(A4)));

    std::vector<uint8_t> nameTable(kNameRecordSize * J);
    for (uint32_t j = 0; j < J; ++j) {
        std::copy(Names[static_cast<int32_t>(j)].begin(), Names[static_cast<int32_t>(j)].end(), &nameTable[16 * j]);
        RecodeName(&nameTable[16 * j]);
    }

    std::vector<uint8_t> nameOffsetTable(2 * M);
    for (uint32_t i = 0; i < M; ++i)
        WriteLe16(&nameOffsetTable[2 * i], static_cast<uint16_t>(16 * NameOffsets[i] + static_cast<int32_t>(A3)));

    std::vector<uint8_t> voiceTable(4 * Voices.size());
    for (size_t i = 0; i < Voices.size(); ++i) {
        const TvcVoice* v = Voices[i];
        uint32_t rate = static_cast<uint8_t>(v->PackedHeader[1] * 16 + v->PackedHeader[2]);
        WriteLe32(&voiceTable[4 * i], (static_cast<uint32_t>(v->ImageOffset) & 0xFFFFFF) | (rate << 24));
    }

    std::vector<uint8_t> eventTable(2 * E, 0);
    for (uint32_t i = kReservedEvents; i < E; ++i)
        WriteLe16(&eventTable[2 * i], static_cast<uint16_t>(2 * Events[i] + static_cast<int32_t>(2 * E)));

    std::vector<uint8_t> lists(2 * D, 0);
    for (uint32_t i = 0; i < D; ++i) {
        int32_t t = DisplayList[i];
        if (t != 0) WriteLe16(&lists[2 * i], static_cast<uint16_t>(Texts.offset(t) + 2 * E + 2 * D));
    }

    std::vector<uint8_t> routeTable(kRouteRecordSize * R, 0);
    for (uint32_t k = 0; k < R; ++k) {
        const auto& w = RouteRecords[k];
        uint8_t* rec = &routeTable[kRouteRecordSize * k];
        for (int i = 0; i < 12; ++i) WriteLe16(rec + 2 * i, w[static_cast<size_t>(i)]);
        WriteLe16(rec + 4, static_cast<uint16_t>(2 * w[2] + A1));
        WriteLe16(rec + 0, static_cast<uint16_t>(16 * w[0] + A3));
        WriteLe16(rec + 2, static_cast<uint16_t>(4 * w[1] + A5));
        WriteLe16(rec + 6, static_cast<uint16_t>(2 * w[3] + A2));
        if (DisplayOffsets) WriteLe16(rec + 8, static_cast<uint16_t>(2 * RouteFirstEvent[k]));
    }

    Cursor = static_cast<int32_t>(kHeaderOffset);
    WriteBlock(kHeaderOffset, Header.data(), kHeaderSize);
    WriteBlock(kRouteTableOffset, routeTable.data(), static_cast<uint32_t>(routeTable.size()));
    WriteBlock(A1, scriptTable.data(), static_cast<uint32_t>(scriptTable.size()));
    WriteBlock(A2, nameOffsetTable.data(), static_cast<uint32_t>(nameOffsetTable.size()));
    WriteBlock(A3, nameTable.data(), static_cast<uint32_t>(nameTable.size()));
    WriteBlock(A4, script.data(), S);
    WriteBlock(A5, voiceTable.data(), static_cast<uint32_t>(voiceTable.size()));

    for (size_t i = 0; i < Voices.size(); ++i)
        if (int32_t code = CopyVoiceData(static_cast<int32_t>(i)); code != 0) return code;

    Cursor = static_cast<int32_t>(kDisplayAreaOffset);
    WriteBlock(kDisplayAreaOffset, eventTable.data(), static_cast<uint32_t>(eventTable.size()));
    WriteBlock(kDisplayAreaOffset + 2 * E, lists.data(), static_cast<uint32_t>(lists.size()));
    std::vector<uint8_t> pool = Texts.bytes();
    RecodeDisplayTexts(pool.data(), pool.size(), Options.substituteTatar);
    WriteBlock(kDisplayAreaOffset + 2 * E + 2 * D, pool.data(), static_cast<uint32_t>(pool.size()));
    return 0;
}
