// Header table operations; every name is lower-cased before it is stored or looked up.
#include "http/headers.h"

#include "runtime/ascii.h"
#include "runtime/errors.h"

namespace quorvin {

const std::string& HeaderValues::first() const {
    if (empty()) {
        throw IndexError("index 0 not in empty header value list");
    }
    return front();
}

bool contains(const HeaderValues& values, std::string_view text) {
    for (const std::string& value : values) {
        if (equalsIgnoringAsciiCase(value, text)) {
            return true;
        }
    }
    return false;
}

std::string lowerHeaderName(std::string_view name) {
    return toLowerAscii(name);
}

HeaderTableObject::Iterator::Iterator(Entries::const_iterator entry, Entries::const_iterator end)
    : entry_(entry), end_(end) {
    skipEmptyLists();
}

HeaderPair HeaderTableObject::Iterator::operator*() const {
    return HeaderPair{entry_->first, entry_->second[value_]};
}

HeaderTableObject::Iterator& HeaderTableObject::Iterator::operator++() {
    ++value_;
    if (value_ >= entry_->second.size()) {
        ++entry_;
        value_ = 0;
        skipEmptyLists();
    }
    return *this;
}

bool HeaderTableObject::Iterator::operator==(const Iterator& other) const {
    return entry_ == other.entry_ && value_ == other.value_;
}

// A name stored with an empty list yields no pairs, so the walk steps over it.
void HeaderTableObject::Iterator::skipEmptyLists() {
    while (entry_ != end_ && entry_->second.empty()) {
        ++entry_;
    }
}

std::size_t HeaderTableObject::position(std::string_view name) const {
    if (!positions_.empty()) {
        auto found = positions_.find(lowerHeaderName(name));
        return found == positions_.end() ? entries_.size() : found->second;
    }
    std::size_t at = 0;
    while (at < entries_.size() && !equalsIgnoringAsciiCase(entries_[at].first, name)) {
        ++at;
    }
    return at;
}

HeaderValues& HeaderTableObject::slot(std::string key) {
    const std::size_t at = position(key);
    if (at < entries_.size()) {
        return entries_[at].second;
    }
    entries_.emplace_back(std::move(key), HeaderValues{});
    if (!positions_.empty()) {
        positions_.emplace(entries_.back().first, at);
    } else if (entries_.size() > linearSearchLimit) {
        for (std::size_t each = 0; each < entries_.size(); ++each) {
            positions_.emplace(entries_[each].first, each);
        }
    }
    return entries_.back().second;
}

const HeaderValues* HeaderTableObject::find(std::string_view name) const {
    const std::size_t at = position(name);
    return at < entries_.size() ? &entries_[at].second : nullptr;
}

void HeaderTableObject::set(std::string_view name, HeaderValues values) {
    HeaderValues& stored = slot(lowerHeaderName(name));
    values_ = values_ - stored.size() + values.size();
    stored = std::move(values);
}

void HeaderTableObject::add(std::string_view name, std::string value) {
    slot(lowerHeaderName(name)).push_back(std::move(value));
    ++values_;
}

const HeaderValues& HeaderTableObject::get(std::string_view name) const {
    const HeaderValues* values = find(name);
    if (values == nullptr) {
        throw KeyError(lowerHeaderName(name));
    }
    return *values;
}

bool HeaderTableObject::hasHeader(std::string_view name) const {
    return find(name) != nullptr;
}

HeaderValues HeaderTableObject::valuesOrEmpty(std::string_view name) const {
    const HeaderValues* values = find(name);
    return values == nullptr ? HeaderValues{std::string()} : *values;
}

HeaderTableObject::Iterator HeaderTableObject::begin() const {
    return Iterator(entries_.begin(), entries_.end());
}

HeaderTableObject::Iterator HeaderTableObject::end() const {
    return Iterator(entries_.end(), entries_.end());
}

HeaderTable makeHeaderTable() {
    return std::make_shared<HeaderTableObject>();
}

HeaderTable
makeHeaderTable(std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
    HeaderTable table = makeHeaderTable();
    for (const auto& [name, value] : pairs) {
        table->add(name, std::string(value));
    }
    return table;
}

HeaderTable makeHeaderTable(const std::vector<std::pair<std::string, std::string>>& pairs) {
    HeaderTable table = makeHeaderTable();
    for (const auto& [name, value] : pairs) {
        table->add(name, value);
    }
    return table;
}

} // namespace quorvin
