// TextTable: column widths and printing.
#include "TextTable.h"

#include <algorithm>
#include <ostream>

namespace arxhost {
namespace {

// Columns on a terminal: UTF-8 continuation bytes take none.
size_t displayWidth(const std::string &text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

} // namespace

void TextTable::print(std::ostream &out, const std::string &lineEnd) const {
  std::vector<size_t> widths;
  for (const auto &row : rows_) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i)
      widths[i] = std::max(widths[i], displayWidth(row[i]));
  }
  for (const auto &row : rows_) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line.append(widths[i] - displayWidth(row[i]) + 2, ' ');
    }
    out << line << lineEnd;
  }
}

} // namespace arxhost
