// A layout variable's shared data.
#include "toolkit/layout/variable.h"

namespace quorvin::layout {

Variable::Variable(std::string name) : data_(std::make_shared<Data>()) {
    data_->name = std::move(name);
}

} // namespace quorvin::layout
