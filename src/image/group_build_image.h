#pragma once
// The builder of a cartridge image from one route group. A build reads and checks the group, its
// routes and templates, collects the tables, names, scripts, voices and display texts in memory,
// places the voices in the segments and then writes everything into the image. Any failure is
// shown once where it is found and leaves nothing that could be written into a cartridge.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/build_options.h"
#include "image/cartridge_image.h"
#include "image/name_list.h"
#include "image/text_pool.h"

class TvcGroupLine;
class TvcLine;
class TvcVoice;
struct TvcStop;

// What a build is busy with, for a window that shows it.
enum class BuildStep { PackVoice, Route };

struct VoiceSegment {
    int32_t start = 0;
    int32_t free = 0;
};

class TGroupBuildImage {
public:
    explicit TGroupBuildImage(CartridgeImage& image);
    ~TGroupBuildImage();  // releases the group of the last build and all voice items
    TGroupBuildImage(const TGroupBuildImage&) = delete;
    TGroupBuildImage& operator=(const TGroupBuildImage&) = delete;

    // True when the image was built. The catalogue code of a failure is in LastCode().
    bool Build(const std::string& groupFile);

    // Copies a block into the image and marks its pages and the two after them.
    void WriteBlock(uint32_t offset, const uint8_t* data, uint32_t length);
    // Copies one voice's packed data to its place: 0, 1030 when the packed data cannot be opened,
    // 2001 when it cannot be read in full.
    int32_t CopyVoiceData(int32_t voiceIndex);

    BuildOptions Options;
    // Told each voice file as it is packed and each route file as its tables are built. Voices
    // are packed side by side, so it is called from several threads and must be thread-safe.
    std::function<void(BuildStep step, const std::string& file)> Progress;

    bool DisplayOffsets = true;
    int32_t TableSize = 0;    // "Таб1"
    int32_t DisplaySize = 0;  // "Таб2"
    int32_t VoiceBytes = 0;
    int32_t Cursor = 0;
    int32_t LanguageSection = 0;
    std::array<uint8_t, 8> Header{};
    std::array<VoiceSegment, image_layout::kSegmentCount> Segments{};
    std::array<VoiceSegment, image_layout::kSegmentCount> SegmentsInitial{};
    TvcGroupLine* Group = nullptr;
    std::array<TvcVoice*, 16> VoiceSlots{};  // [0] is slot 1
    TvcLine* CurrentRoute = nullptr;
    const TvcStop* CurrentStop = nullptr;

    int32_t LastCode() const { return lastCode_; }
    const CartridgeImage& Image() const { return image_; }

    // The steps of a build, public so that their rules can be exercised one by one.
    int32_t BuildRoute(TvcLine& route);
    int32_t BuildStop(TvcLine& route, int32_t kind, int32_t stopIndex);
    int32_t UseVoice(TvcVoice* voice);
    void PrepareRouteLists(TvcLine& route) const;
    int32_t LegIndex(const TvcLine& route, int32_t k) const;
    int32_t TerminalIndex(const TvcLine& route, int32_t k) const;
    std::string LegStartText(const TvcLine& route, int32_t k, int language) const;
    std::string LegEndText(const TvcLine& route, int32_t k, int language) const;
    void EmitStopDisplayBlock(const TvcLine& route, int32_t k);
    void AddFreeText(std::string_view text);
    void CloseEventDisplayList();
    // 0 for none, else 1 or 2 (index of the second language's fields).
    int SecondLanguage() const;

    // The collectors, as the assembly turns them into tables.
    NameList Names;
    TextPool Texts;
    std::vector<int32_t> NameOffsets;    // name indices, one per event
    std::vector<int32_t> ScriptOffsets;  // script stream offsets, one per event
    std::vector<uint8_t> Script;
    std::vector<TvcVoice*> Voices;       // in index order
    std::vector<int32_t> Events;         // display-list entry indices; 16 reserved first
    std::vector<int32_t> DisplayList;    // text indices, 0 ends a list
    std::vector<std::array<uint16_t, 12>> RouteRecords;
    std::vector<int32_t> RouteFirstEvent;

private:
    int32_t Collect(const std::string& groupFile);
    int32_t CollectRoute(int32_t i);
    int32_t Assemble();
    void ResetCollectors();
    int32_t InterpretLine(const TvcLine& route, const std::string& text, const std::string* textFile);
    int32_t LookupStopVoices(const TvcLine& route, int32_t stopIndex, int firstSlot);
    void AppendVoiceCode(const TvcVoice* voice);
    void FollowingStops(const TvcLine& route, int32_t k);
    int32_t AddListEntry(const TvcLine& route, int32_t stop);

    CartridgeImage& image_;
    int32_t lastCode_ = 0;
    // Per route and per stop display state.
    int32_t routeNumberText_ = 0;
    int32_t startText_ = 0;
    int32_t endText_ = 0;
    int32_t nextStopText_ = 0;
    std::vector<uint8_t> chunk_;
};

// The composed text of two languages: the first cut or padded to 15 characters, then the second,
// all cut to 31; the first alone when the second is empty.
std::string ComposeTwoLanguages(std::string_view first, std::string_view second);

// The @ escapes of a free text turned into the boards' colour and line codes, at most 253 bytes.
std::string FreeTextBytes(std::string_view text, bool boardsBeforeV27);

// The header time of a build: SOURCE_DATE_EPOCH when it is set to a number, else now.
uint32_t BuildTimeDos();
