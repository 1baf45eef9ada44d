#pragma once
// Stop templates: a template file (.tpl) names templates by number and lists, per template, its
// sections (the events of a stop) and their steps.
//
// Strings: FileName, BaseDir and TextFile are UTF-8 names in the Windows form (backslashes), opened
// through NativePath. Text is the CP1251 bytes read, except for a step naming a voice file, whose
// Text becomes that file's UTF-8 name relative to BaseDir (TextFile holds the full one).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kTemplateTableSize = 64;

struct TvcTemplItem {
    int32_t Number = 0;
    int32_t Section = 0;  // 0 with Line 0: the name entry of template Number
    int32_t Line = 0;     // 0 with Section not 0: a section header; both not 0: a section step
    std::string Text;
    std::optional<std::string> TextFile;  // only for steps that name a voice file
};

class TvcTempl {
public:
    explicit TvcTempl(std::string_view fileName);
    ~TvcTempl();  // also empties its TemplateTable slot
    TvcTempl(const TvcTempl&) = delete;
    TvcTempl& operator=(const TvcTempl&) = delete;

    std::string FileName;  // full path of the template file
    bool FileOpen = false; // true only while LoadTemplate runs
    int32_t RefCount = 0;
    int32_t ItemCount = 0;            // items read by the last load; equals Items.size()
    std::vector<TvcTemplItem> Items;  // in file order
    std::string BaseDir;              // folder of FileName with one trailing backslash
};

extern TvcTempl* TemplateTable[kTemplateTableSize];

// The set with exactly this FileName, read again, with one more reference; or a new set in the first
// free slot, read. The set is returned whether or not its file could be read (with the items it has);
// nullptr only when all slots are in use.
TvcTempl* OpenTemplate(std::string_view fileName);
// True when all items the Count record announces were read. No message.
bool LoadTemplate(TvcTempl* set);
// Drops one reference; the last one destroys the set. nullptr and sets not in the table are left alone.
void ReleaseTemplate(TvcTempl* set);
// Destroys every set in the table. Clear the route table first: routes hold their sets.
void ClearTemplateTable();
