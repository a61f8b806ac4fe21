// Header table operations; every name is lower-cased before it is stored or looked up.
#include "http/headers.h"

#include "runtime/errors.h"

namespace quorvin {

namespace {

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

const std::string& HeaderValues::first() const {
    if (empty()) {
        throw IndexError("index 0 not in empty header value list");
    }
    return front();
}

bool contains(const HeaderValues& values, std::string_view text) {
    for (const std::string& value : values) {
        if (equalsIgnoringCase(value, text)) {
            return true;
        }
    }
    return false;
}

std::string lowerHeaderName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = asciiLower(c);
    }
    return lower;
}

HeaderTableObject::Iterator::Iterator(Map::const_iterator entry, Map::const_iterator end)
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

void HeaderTableObject::set(std::string_view name, HeaderValues values) {
    entries_[lowerHeaderName(name)] = std::move(values);
}

void HeaderTableObject::add(std::string_view name, std::string value) {
    entries_[lowerHeaderName(name)].push_back(std::move(value));
}

const HeaderValues& HeaderTableObject::get(std::string_view name) const {
    std::string key = lowerHeaderName(name);
    auto found = entries_.find(key);
    if (found == entries_.end()) {
        throw KeyError(key);
    }
    return found->second;
}

bool HeaderTableObject::hasHeader(std::string_view name) const {
    return entries_.contains(lowerHeaderName(name));
}

HeaderValues HeaderTableObject::valuesOrEmpty(std::string_view name) const {
    auto found = entries_.find(lowerHeaderName(name));
    if (found == entries_.end()) {
        return HeaderValues{std::string()};
    }
    return found->second;
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
