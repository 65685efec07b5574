// A parser of one table's lines inside a block of the main info file. The main info parser
// (main_info.cpp) finds the block each line belongs to and offers the line to the parsers of
// that block; each parser keeps the state of its own table only.
#pragma once

#include <memory>
#include <string>

#include "tables/table.h"

namespace kovra {

class BlockParser {
 public:
  virtual ~BlockParser() = default;
  // Whether the line belongs to this parser's table (a record or a part of one).
  [[nodiscard]] virtual bool Line(const std::string& line) = 0;
  // An empty line inside the block.
  virtual void Blank() {}
  // The block ends: a record still open is emitted.
  virtual void Finish() {}
};

}  // namespace kovra
