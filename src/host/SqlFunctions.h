// The two-argument ISNULL(value, fallback) that the host's SQL texts use.
//
// SQLite has no such function, and worse, ISNULL is one of its keywords
// (the postfix "x ISNULL"), so "ISNULL(a,b)" does not even parse. The
// client therefore registers a function named ISNULL on every connection
// and quotes each call before preparing: ISNULL( becomes "ISNULL"(, which
// SQLite reads as a call of the registered function. String literals,
// quoted names and comments are left alone, and so is the postfix form.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace arxmod {

// Registers ISNULL(value, fallback): fallback when value is NULL, else value.
// Returns SQLite's result code.
int registerIsNull(sqlite3 *db);

// The SQL text with every call ISNULL( quoted as "ISNULL"(.
std::string quoteIsNullCalls(std::string_view sql);

} // namespace arxmod
