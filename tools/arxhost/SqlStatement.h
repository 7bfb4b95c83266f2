// SqlStatement: one prepared SQLite statement of the host tool, with text
// bindings, finalised on scope exit. Failures raise ToolError with SQLite's
// message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace arxhost {

class SqlStatement {
public:
  SqlStatement(sqlite3 *db, const std::string &sql, const std::vector<std::string> &bindings = {});
  SqlStatement(const SqlStatement &) = delete;
  SqlStatement &operator=(const SqlStatement &) = delete;
  ~SqlStatement();

  // True while a row is there; false when the statement is done.
  bool step();
  int64_t integer(int column);
  // The column's text; "" for NULL.
  std::string text(int column);
  // Makes the statement ready to run again, with its bindings kept.
  void reset();

private:
  sqlite3 *db_;
  sqlite3_stmt *stmt_ = nullptr;
};

} // namespace arxhost
