// ISNULL for SQLite: the registered function and the call quoting.
#include "host/SqlFunctions.h"

#include <cctype>
#include <sqlite3.h>

namespace arxmod {

namespace {

void isNull(sqlite3_context *context, int, sqlite3_value **arguments) {
  sqlite3_result_value(context, sqlite3_value_type(arguments[0]) == SQLITE_NULL ? arguments[1]
                                                                                : arguments[0]);
}

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Index just past the quoted part or comment that starts at `start`, or
// `start` when none starts there. An unterminated one runs to the end.
size_t skipQuotedOrComment(std::string_view sql, size_t start) {
  const char c = sql[start];
  std::string_view closing;
  if (c == '\'' || c == '"' || c == '`')
    closing = sql.substr(start, 1);
  else if (c == '[')
    closing = "]";
  else if (sql.substr(start, 2) == "--")
    closing = "\n";
  else if (sql.substr(start, 2) == "/*")
    closing = "*/";
  else
    return start;
  const size_t end = sql.find(closing, start + 1 + (closing.size() - 1));
  return end == std::string_view::npos ? sql.size() : end + closing.size();
}

} // namespace

int registerIsNull(sqlite3 *db) {
  return sqlite3_create_function(db, "ISNULL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                 isNull, nullptr, nullptr);
}

std::string quoteIsNullCalls(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 8);
  size_t i = 0;
  while (i < sql.size()) {
    const size_t skipped = skipQuotedOrComment(sql, i);
    if (skipped != i) {
      out.append(sql.substr(i, skipped - i));
      i = skipped;
      continue;
    }
    if (!isWordChar(sql[i])) {
      out.push_back(sql[i++]);
      continue;
    }
    size_t end = i;
    while (end < sql.size() && isWordChar(sql[end]))
      ++end;
    const std::string_view word = sql.substr(i, end - i);
    size_t next = end;
    while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next])))
      ++next;
    const bool call = next < sql.size() && sql[next] == '(';
    if (call && equalsIgnoringCase(word, "ISNULL"))
      out.append("\"ISNULL\"");
    else
      out.append(word);
    i = end;
  }
  return out;
}

} // namespace arxmod
