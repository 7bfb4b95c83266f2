// TextTable: rows of text cells printed in columns as wide as their widest
// cell, two blanks apart, the last column left unpadded.
//
//   TextTable table({"NAME", "PORT"});
//   table.add({"meter1", "Line1"});
//   table.print(std::cout);   // "NAME    PORT\nmeter1  Line1\n"
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace arxhost {

class TextTable {
public:
  explicit TextTable(std::vector<std::string> header) { add(std::move(header)); }

  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  // Each line ends with `lineEnd` ("\n", or an erase-to-end sequence first
  // when a terminal redraws the table in place).
  void print(std::ostream &out, const std::string &lineEnd = "\n") const;

private:
  std::vector<std::vector<std::string>> rows_;
};

} // namespace arxhost
