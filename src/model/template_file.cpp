#include "model/template_file.h"

#include <algorithm>
#include <limits>

#include "base/cp1251.h"
#include "model/description_records.h"
#include "model/resolve_path.h"

TvcTempl* TemplateTable[kTemplateTableSize] = {};

namespace {

constexpr std::string_view kCountPrefix = "Count=";
constexpr std::string_view kHeaderTail = "Info Template Line";
constexpr size_t kHeaderTailAt = 40;

std::string_view DropCrLf(std::string_view record) {
    if (record.size() >= 2 && record.ends_with("\r\n")) record.remove_suffix(2);
    return record;
}

// One of the three numbers in front of an item's text: digits up to a semicolon. An empty number,
// one that does not start with a digit, holds a decimal separator or overflows, or one that ends the
// record without its semicolon makes the item unreadable.
std::optional<int32_t> TakeItemNumber(std::string_view& rest) {
    size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits == 0 || digits >= rest.size() || rest[digits] != ';') return std::nullopt;
    auto value = description::ParseInt32(rest.substr(0, digits));
    if (!value) return std::nullopt;
    rest.remove_prefix(digits + 1);
    return value;
}

std::optional<TvcTemplItem> ParseItem(std::string_view record) {
    TvcTemplItem item;
    auto number = TakeItemNumber(record);
    if (!number) return std::nullopt;
    auto section = TakeItemNumber(record);
    if (!section) return std::nullopt;
    auto line = TakeItemNumber(record);
    if (!line) return std::nullopt;
    item.Number = *number;
    item.Section = *section;
    item.Line = *line;
    item.Text = std::string(record);
    return item;
}

bool ParseTemplate(TvcTempl& set, std::string_view bytes) {
    description::RecordReader records(bytes);
    auto header = records.next();
    if (!header) return false;
    std::string_view h = DropCrLf(*header);
    if (h.size() < kHeaderTailAt + kHeaderTail.size() || h.substr(kHeaderTailAt) != kHeaderTail) return false;

    auto countRecord = records.next();
    if (!countRecord) return false;
    std::string_view count = DropCrLf(*countRecord);
    if (count.size() < 7 || !count.starts_with(kCountPrefix)) return false;
    auto n = description::ParseInt32(count.substr(kCountPrefix.size()));
    if (!n || *n < 1) return false;

    set.Items.clear();
    // Each item takes at least its length byte: the file bounds what is worth reserving.
    set.Items.reserve(std::min<size_t>(static_cast<size_t>(*n), records.remaining()));
    while (set.ItemCount < *n) {
        auto record = records.next();
        if (!record) break;
        auto item = ParseItem(DropCrLf(*record));
        if (!item) break;
        set.Items.push_back(std::move(*item));
        ++set.ItemCount;
    }
    if (set.ItemCount != *n) return false;

    for (TvcTemplItem& item : set.Items) {
        if (item.Section == 0 || item.Line == 0 || item.Text.starts_with('<')) continue;
        ResolvedPath path = ResolvePath(set.BaseDir, Cp1251ToUtf8(item.Text));
        item.Text = std::move(path.relative);
        item.TextFile = std::move(path.full);
    }
    return true;
}

}  // namespace

TvcTempl::TvcTempl(std::string_view fileName) : FileName(fileName) {}

TvcTempl::~TvcTempl() {
    for (auto& slot : TemplateTable)
        if (slot == this) slot = nullptr;
}

bool LoadTemplate(TvcTempl* set) {
    if (!set) return false;
    if (set->FileOpen) return true;
    set->ItemCount = 0;
    set->Items.clear();
    std::string bytes;
    if (!description::ReadWholeFile(set->FileName, bytes)) return false;
    set->BaseDir = description::BaseDirOf(set->FileName);
    set->FileOpen = true;
    bool ok = ParseTemplate(*set, bytes);
    set->FileOpen = false;
    return ok;
}

TvcTempl* OpenTemplate(std::string_view fileName) {
    for (TvcTempl* set : TemplateTable) {
        if (set && set->FileName == fileName) {
            LoadTemplate(set);
            ++set->RefCount;
            return set;
        }
    }
    for (auto& slot : TemplateTable) {
        if (!slot) {
            slot = new TvcTempl(fileName);
            slot->RefCount = 1;
            LoadTemplate(slot);  // a set that failed to read is used with the items it has
            return slot;
        }
    }
    return nullptr;
}

void ReleaseTemplate(TvcTempl* set) {
    if (!set) return;
    for (auto& slot : TemplateTable) {
        if (slot != set) continue;
        if (set->RefCount > 0) --set->RefCount;
        if (set->RefCount == 0) delete set;  // the destructor empties the slot
        return;
    }
}

void ClearTemplateTable() {
    for (auto& slot : TemplateTable) delete slot;
}
