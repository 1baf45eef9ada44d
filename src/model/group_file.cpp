#include "model/group_file.h"

#include "base/cp1251.h"
#include "model/description_records.h"
#include "model/resolve_path.h"

TvcGroupLine* GroupTable[kGroupTableSize] = {};

namespace {
constexpr std::string_view kCountPrefix = "Count=";
}

TvcGroupLine::TvcGroupLine(std::string_view fileName)
    : TvcCustomCollection(std::string("Group"), nullptr),
      HeaderText(Utf8ToCp1251("0201 (c) НПЦ ТИМОРА г. Лесогор - 2000 г Info Group Line")),
      FileName(fileName) {}

TvcGroupLine::~TvcGroupLine() {
    for (auto& slot : GroupTable)
        if (slot == this) slot = nullptr;
}

TvcGroupLine* OpenGroup(std::string_view fileName) {
    for (TvcGroupLine* group : GroupTable) {
        if (group && group->FileName == fileName) {
            ++group->RefCount;
            return group;
        }
    }
    for (auto& slot : GroupTable) {
        if (!slot) {
            slot = new TvcGroupLine(fileName);
            slot->RefCount = 1;
            return slot;
        }
    }
    return nullptr;
}

namespace {

bool ParseGroup(TvcGroupLine& group, std::string_view bytes) {
    description::RecordReader records(bytes);
    auto header = records.next();
    if (!header) return false;
    group.HeaderText = std::string(header->substr(0, kGroupHeaderMax));
    auto title = records.next();
    if (!title) return false;
    group.Title = std::string(*title);

    auto count = records.next();
    if (!count) return true;  // a group without routes keeps the lists it had
    if (count->size() < 7 || !count->starts_with(kCountPrefix)) return false;
    int32_t n = description::ParseInt32(count->substr(kCountPrefix.size())).value_or(-1);
    if (n < 1) return false;

    group.RouteFiles.clear();
    group.RouteNames.clear();
    group.RouteCount = 0;
    // Every route record takes at least its length byte, so the file bounds what is worth reserving.
    size_t room = std::min<size_t>(static_cast<size_t>(n), records.remaining());
    group.RouteFiles.reserve(room);
    group.RouteNames.reserve(room);
    group.BaseDir = description::BaseDirOf(group.FileName);
    while (group.RouteCount < n) {
        auto record = records.next();
        if (!record) return false;
        ResolvedPath path = ResolvePath(group.BaseDir, Cp1251ToUtf8(*record));
        group.RouteFiles.push_back(std::move(path.full));
        group.RouteNames.push_back(std::move(path.relative));
        ++group.RouteCount;
    }
    return true;
}

}  // namespace

bool LoadGroup(TvcGroupLine* group) {
    if (!group) return false;
    if (group->FileOpen) return true;
    std::string bytes;
    if (!description::ReadWholeFile(group->FileName, bytes)) return false;
    group->FileOpen = true;
    bool ok = ParseGroup(*group, bytes);
    group->FileOpen = false;
    return ok;
}

void ReleaseGroup(TvcGroupLine* group) {
    if (!group) return;
    for (auto& slot : GroupTable) {
        if (slot != group) continue;
        if (group->RefCount > 0) --group->RefCount;
        if (group->RefCount <= 0) delete group;  // the destructor empties the slot
        return;
    }
}

void ClearGroupTable() {
    for (auto& slot : GroupTable) delete slot;  // each destructor empties its own slot
}
