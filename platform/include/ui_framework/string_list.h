// An ordered, growable list of text strings: add at the tail, remove all, walk from head to
// tail, count.
#pragma once

#include <ui_framework/text_string.h>

#include <cstddef>
#include <deque>

namespace ui {

class StringList {
public:
    // A place in the walk: 0 after the last string.
    using Position = size_t;

    void AddTail(const TextString& text) { items_.push_back(text); }
    void RemoveAll() { items_.clear(); }
    int GetCount() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }

    Position GetHeadPosition() const { return items_.empty() ? 0 : 1; }
    // The string at `position`; moves `position` to the next one.
    const TextString& GetNext(Position& position) const;
    // The string at a 0-based index of the walk.
    const TextString& GetAt(int index) const { return items_.at(static_cast<size_t>(index)); }

private:
    std::deque<TextString> items_;
};

}  // namespace ui
