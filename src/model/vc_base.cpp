// Chain links of the data-model objects.
#include "model/vc_base.h"

TvcCustomCollection::TvcCustomCollection(std::optional<std::string> name, TvcCustomCollection* after)
    : TvcBase(std::move(name)) {
    if (!after) return;
    Prev = after;
    Next = after->Next;
    if (Next) Next->Prev = this;
    after->Next = this;
}

TvcCustomCollection::~TvcCustomCollection() {
    if (Next) Next->Prev = Prev;
    if (Prev) Prev->Next = Next;
}
