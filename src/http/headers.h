// The header table: lower-cased header names mapped to ordered value lists, behind a shared handle;
// names are walked in the order in which they were first added.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvin {

// The values of one header name, in the order they were given.
class HeaderValues : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;

    // The first value, where one string is wanted; an empty list raises IndexError.
    const std::string& first() const;
};

// True when some whole element equals `text` ignoring ASCII case.
bool contains(const HeaderValues& values, std::string_view text);

// ASCII lower case of a header name; other bytes are kept.
std::string lowerHeaderName(std::string_view name);

class HeaderTableObject;

// A shared handle; a null handle stands for "no table" where a table is optional.
using HeaderTable = std::shared_ptr<HeaderTableObject>;

// One (name, value) pair as iteration yields it.
struct HeaderPair {
    const std::string& name;
    const std::string& value;
};

class HeaderTableObject {
    using Entries = std::vector<std::pair<std::string, HeaderValues>>;

public:
    // Walks every value of every name: names in table order, values in list order.
    class Iterator {
    public:
        Iterator(Entries::const_iterator entry, Entries::const_iterator end);
        HeaderPair operator*() const;
        Iterator& operator++();
        bool operator==(const Iterator& other) const;

    private:
        void skipEmptyLists();

        Entries::const_iterator entry_;
        Entries::const_iterator end_;
        std::size_t value_ = 0;
    };

    // Sets the list for the name, replacing any list it had (the name keeps its place).
    void set(std::string_view name, HeaderValues values);
    // Appends one value to the name's list, starting the list when the name is new.
    void add(std::string_view name, std::string value);
    // The list for the name; a missing name raises KeyError "key not found: <name>".
    const HeaderValues& get(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
    // The list for the name, or a list of one empty string when it is absent.
    HeaderValues valuesOrEmpty(std::string_view name) const;
    // The list for the name, or null when it is absent; no copy is made.
    const HeaderValues* find(std::string_view name) const;
    // The number of distinct names.
    std::size_t len() const { return entries_.size(); }
    // The number of values stored under all names together.
    std::size_t valueCount() const { return values_; }
    void clear() {
        entries_.clear();
        positions_.clear();
        values_ = 0;
    }

    Iterator begin() const;
    Iterator end() const;

private:
    // Up to this many names are looked up by walking the list, which is faster than hashing the
    // few names of a usual request and makes no allocation; a longer table keeps an index.
    static constexpr std::size_t linearSearchLimit = 16;

    // The list for a lower-cased name, added at the end when the name is new.
    HeaderValues& slot(std::string key);
    // Where the name (in any case) stands in the list; the list's length when it is absent.
    std::size_t position(std::string_view name) const;

    Entries entries_;
    // The index of a table with more than linearSearchLimit names; empty otherwise.
    std::unordered_map<std::string, std::size_t> positions_;
    std::size_t values_ = 0;
};

// A new, empty table.
HeaderTable makeHeaderTable();

// A new table filled from the pairs in order; repeated names collect their values.
HeaderTable
makeHeaderTable(std::initializer_list<std::pair<std::string_view, std::string_view>> pairs);
HeaderTable makeHeaderTable(const std::vector<std::pair<std::string, std::string>>& pairs);

} // namespace quorvin
