#include "lkmdb7/items/RareTexts.h"

#include <algorithm>
#include <utility>

namespace LKMDB7 {

RareTexts::RareTexts() = default;
RareTexts::~RareTexts() = default;

const CString& RareTexts::Get(int slot) const {
    static const CString empty;
    return texts_ == nullptr ? empty : (*texts_)[static_cast<std::size_t>(slot)];
}

void RareTexts::Set(int slot, CString text) {
    if (texts_ == nullptr) {
        if (text.IsEmpty()) {
            return;
        }
        texts_ = std::make_unique<std::array<CString, kSlots>>();
    }
    (*texts_)[static_cast<std::size_t>(slot)] = std::move(text);
    if (std::all_of(texts_->begin(), texts_->end(), [](const CString& t) { return t.IsEmpty(); })) {
        texts_.reset();
    }
}

}  // namespace LKMDB7
