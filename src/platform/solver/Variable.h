// solver::Variable: a named unknown of the constraint solver. A handle: copies
// name the same unknown. The solver writes the value on updateVariables().
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace solver {

class Solver;

class Variable {
public:
  Variable() : data_(std::make_shared<Data>()) {}
  explicit Variable(std::string name) : data_(std::make_shared<Data>()) { data_->name = std::move(name); }

  const std::string& name() const { return data_->name; }
  // The value the last updateVariables() of the solver that holds it wrote.
  double value() const { return data_->value; }

  bool sameAs(const Variable& other) const { return data_ == other.data_; }
  const void* identity() const { return data_.get(); }

private:
  friend class Solver;
  struct Data {
    std::string name;
    double value = 0;
  };
  void setValue(double v) const { data_->value = v; }
  std::shared_ptr<Data> data_;
};

}  // namespace solver
