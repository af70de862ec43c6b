// A component: an object with an owner and a name, the base of the sheet and
// the readers on one side and of the expression parser on the other.
#pragma once

#include <string>

namespace tabdump {

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr) : Owner(owner) {}
  virtual ~TComponent() = default;
  TComponent* Owner;
  std::string Name;
};

}  // namespace tabdump
