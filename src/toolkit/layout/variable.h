// A layout variable: a named value that the solver writes; copies share one variable.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace quorvin::layout {

class Variable {
public:
    explicit Variable(std::string name = {});

    const std::string& name() const { return data_->name; }
    double value() const { return data_->value; }
    void setValue(double value) { data_->value = value; }

    // Identity: two handles are the same variable when they share its data. The operators ==,
    // <= and >= build constraints instead.
    bool sameAs(const Variable& other) const { return data_ == other.data_; }
    const void* id() const { return data_.get(); }

private:
    struct Data {
        std::string name;
        double value = 0.0;
    };
    std::shared_ptr<Data> data_;
};

// Orders and hashes variables by identity, for use as keys of maps.
struct VariableLess {
    bool operator()(const Variable& a, const Variable& b) const { return a.id() < b.id(); }
};

struct VariableHash {
    std::size_t operator()(const Variable& v) const { return std::hash<const void*>()(v.id()); }
};

struct VariableSame {
    bool operator()(const Variable& a, const Variable& b) const { return a.sameAs(b); }
};

} // namespace quorvin::layout
