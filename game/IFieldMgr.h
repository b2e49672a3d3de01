// What a cell of the field needs from its owner: to be told that it was pressed.
#pragma once

#include <cstdint>

namespace Doduderor {

class IFieldMgr {
 public:
  // horizontal: the left mouse button; any other button selects the vertical line.
  virtual void OnCellClicked(bool horizontal, std::uint16_t column, std::uint16_t row) = 0;

 protected:
  ~IFieldMgr() = default;
};

}  // namespace Doduderor
