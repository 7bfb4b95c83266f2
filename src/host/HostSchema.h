// The host database's schema, as the host tool creates it. Further tables
// and columns may be added by the host; none of these are removed or
// renamed, because the plug-in's SQL texts name them.
#pragma once

#include <filesystem>
#include <string_view>

struct sqlite3;

namespace arxmod {

std::string_view hostSchemaText();
// Creates the host tables on an open connection; throws KSXmsg on failure.
void createHostSchema(sqlite3 *db);
// Creates a new database file holding the host tables, in WAL mode.
void createHostDatabase(const std::filesystem::path &path);

} // namespace arxmod
