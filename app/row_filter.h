// The row filter: evaluates the /WHERE= expression for the current record,
// answering field names, double-quoted texts and SUBSTITUTE.
#pragma once

#include <string>

namespace tabdump {

class TA;

class RowFilter {
 public:
  explicit RowFilter(TA& sink);
  ~RowFilter();
  bool Accepts();

 private:
  TA& sink_;
};

}  // namespace tabdump
