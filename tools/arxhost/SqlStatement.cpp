// SqlStatement over the SQLite C interface.
#include "SqlStatement.h"

#include "HostDatabase.h"

#include <sqlite3.h>

namespace arxhost {

SqlStatement::SqlStatement(sqlite3 *db, const std::string &sql,
                           const std::vector<std::string> &bindings)
    : db_(db) {
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
    throw ToolError(sqlite3_errmsg(db));
  for (size_t i = 0; i < bindings.size(); ++i)
    sqlite3_bind_text(stmt_, static_cast<int>(i + 1), bindings[i].c_str(), -1, SQLITE_TRANSIENT);
}

SqlStatement::~SqlStatement() { sqlite3_finalize(stmt_); }

bool SqlStatement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW)
    return true;
  if (rc != SQLITE_DONE)
    throw ToolError(sqlite3_errmsg(db_));
  return false;
}

int64_t SqlStatement::integer(int column) { return sqlite3_column_int64(stmt_, column); }

std::string SqlStatement::text(int column) {
  const auto *t = sqlite3_column_text(stmt_, column);
  return t ? reinterpret_cast<const char *>(t) : "";
}

void SqlStatement::reset() { sqlite3_reset(stmt_); }

} // namespace arxhost
