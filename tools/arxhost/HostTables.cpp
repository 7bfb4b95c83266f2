// The site, port and device tables of the host database.
#include "HostDatabase.h"

#include "SqlStatement.h"

#include <sqlite3.h>

namespace arxhost {
namespace {

std::string joined(const std::vector<std::string> &names) {
  std::string text;
  for (const std::string &name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

} // namespace

template <typename Work> auto HostDatabase::inTransaction(Work &&work) {
  exec("BEGIN IMMEDIATE");
  try {
    auto result = work();
    exec("COMMIT");
    return result;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::optional<int64_t> HostDatabase::findId(const std::string &table, const std::string &name) {
  SqlStatement find(db_, "SELECT ID FROM " + table + " WHERE Name=?", {name});
  if (find.step())
    return find.integer(0);
  return std::nullopt;
}

int64_t HostDatabase::insert(const std::string &sql, const std::vector<std::string> &bindings) {
  SqlStatement(db_, sql, bindings).step();
  return sqlite3_last_insert_rowid(db_);
}

int64_t HostDatabase::findOrInsert(const std::string &table, const std::string &name,
                                   const std::string &insertSql,
                                   const std::vector<std::string> &bindings) {
  if (const auto id = findId(table, name))
    return *id;
  return insert(insertSql, bindings);
}

int64_t HostDatabase::insertPort(const std::string &name, const std::string &site,
                                 const std::string &connection) {
  const std::string siteName = site.empty() ? "Site" : site;
  const int64_t siteId =
      findOrInsert("Site", siteName, "INSERT INTO Site(Name) VALUES(?)", {siteName});
  return insert("INSERT INTO Port(Name,SiteID,Connection) VALUES(?,?,NULLIF(?,''))",
                {name, std::to_string(siteId), connection});
}

int64_t HostDatabase::existingId(const std::string &table, const std::string &what,
                                 const std::string &name, const std::string &listCommand) {
  if (const auto id = findId(table, name))
    return *id;
  fail("no " + what + " named '" + name + "' in table " + table + " (see 'arxhost " + listCommand +
       "')");
}

void HostDatabase::refuseTaken(const std::string &table, const std::string &what,
                               const std::string &name) {
  if (name.empty())
    fail("a " + what + " needs a name");
  if (findId(table, name))
    fail("a " + what + " named '" + name + "' exists already in table " + table);
}

int64_t HostDatabase::addSite(const std::string &name) {
  return inTransaction([&] {
    refuseTaken("Site", "site", name);
    return insert("INSERT INTO Site(Name) VALUES(?)", {name});
  });
}

int64_t HostDatabase::addPort(const NewPort &port) {
  return inTransaction([&] {
    refuseTaken("Port", "port", port.name);
    return insertPort(port.name, port.site, port.connection);
  });
}

// The device's port: an existing one must agree with the site and
// connection the device gives; a new one is made with them.
int64_t HostDatabase::portFor(const NewDevice &device) {
  SqlStatement find(db_,
                    "SELECT Port.ID,IFNULL(Site.Name,''),IFNULL(Port.Connection,'') FROM Port "
                    "LEFT JOIN Site ON Site.ID=Port.SiteID WHERE Port.Name=?",
                    {device.port});
  if (!find.step())
    return insertPort(device.port, device.site, device.connection);
  const std::string site = find.text(1);
  const std::string connection = find.text(2);
  if (!device.site.empty() && device.site != site)
    fail("port '" + device.port + "' belongs to site '" + site + "', not '" + device.site +
         "'; leave out --site or give another --port");
  if (!device.connection.empty() && device.connection != connection)
    fail("port '" + device.port + "' reaches " +
         (connection.empty() ? std::string("nothing (it has no connection)") : connection) +
         ", not " + device.connection +
         "; leave out --connection or give another --port (see 'arxhost port list')");
  return find.integer(0);
}

int64_t HostDatabase::addDevice(const NewDevice &device) {
  return inTransaction([&] {
    refuseTaken("Device", "device", device.name);
    SqlStatement translator(db_, "SELECT ID FROM Translator WHERE Name='MX4110_4120'");
    if (!translator.step())
      fail("table Translator has no MX4110_4120 row; recreate the database with 'arxhost init'");
    const std::string translatorId = std::to_string(translator.integer(0));
    const std::string portId = std::to_string(portFor(device));
    const std::string typeId = std::to_string(
        findOrInsert("DeviceType", device.type,
                     "INSERT INTO DeviceType(Name,TranslatorID,MapFile) VALUES(?,?,NULLIF(?,''))",
                     {device.type, translatorId, device.mapFile}));
    return insert("INSERT INTO Device(Name,DeviceTypeID,PortID,Unit,TreeFile,LastUpdate) "
                  "VALUES(?,?,?,?,NULLIF(?,''),strftime('%Y-%m-%dT%H:%M:%f','now'))",
                  {device.name, typeId, portId, std::to_string(device.unit), device.treeFile});
  });
}

std::vector<SiteRow> HostDatabase::sites() {
  SqlStatement all(db_, "SELECT Site.Name,COUNT(Port.ID) FROM Site "
                        "LEFT JOIN Port ON Port.SiteID=Site.ID GROUP BY Site.ID ORDER BY Site.ID");
  std::vector<SiteRow> rows;
  while (all.step())
    rows.push_back({all.text(0), all.integer(1)});
  return rows;
}

std::vector<PortRow> HostDatabase::ports() {
  SqlStatement all(db_, "SELECT Port.Name,IFNULL(Site.Name,''),IFNULL(Port.Connection,''),"
                        "(SELECT COUNT(*) FROM Device WHERE Device.PortID=Port.ID) FROM Port "
                        "LEFT JOIN Site ON Site.ID=Port.SiteID ORDER BY Port.ID");
  std::vector<PortRow> rows;
  while (all.step())
    rows.push_back({all.text(0), all.text(1), all.text(2), all.integer(3)});
  return rows;
}

std::vector<DeviceRow> HostDatabase::devices() {
  SqlStatement all(db_, "SELECT Device.Name,IFNULL(Port.Name,''),Device.Unit,DeviceType.Name,"
                        "IFNULL(Device.TreeFile,''),IFNULL(DeviceType.MapFile,'') FROM Device "
                        "JOIN DeviceType ON DeviceType.ID=Device.DeviceTypeID "
                        "LEFT JOIN Port ON Port.ID=Device.PortID ORDER BY Device.ID");
  std::vector<DeviceRow> rows;
  while (all.step())
    rows.push_back(
        {all.text(0), all.text(1), all.integer(2), all.text(3), all.text(4), all.text(5)});
  return rows;
}

std::vector<std::string> HostDatabase::deviceNames() {
  std::vector<std::string> names;
  for (const DeviceRow &row : devices())
    names.push_back(row.name);
  return names;
}

void HostDatabase::removeUnused(const Removal &removal, const std::string &name) {
  inTransaction([&] {
    const std::string id =
        std::to_string(existingId(removal.table, removal.what, name, removal.what + " list"));
    std::vector<std::string> users;
    if (!removal.usersSql.empty()) {
      SqlStatement find(db_, removal.usersSql, {id});
      while (find.step())
        users.push_back(find.text(0));
    }
    if (!users.empty())
      fail(removal.what + " '" + name + "' still " + removal.usersAre + " (" + joined(users) +
           "); remove them first with 'arxhost " + removal.userWhat + " remove NAME'");
    SqlStatement(db_, "DELETE FROM " + removal.table + " WHERE ID=?", {id}).step();
    return 0;
  });
}

void HostDatabase::removeSite(const std::string &name) {
  removeUnused(
      {"Site", "site", "SELECT Name FROM Port WHERE SiteID=? ORDER BY ID", "has ports", "port"},
      name);
}

void HostDatabase::removePort(const std::string &name) {
  removeUnused({"Port", "port", "SELECT Name FROM Device WHERE PortID=? ORDER BY ID",
                "serves devices", "device"},
               name);
}

void HostDatabase::removeDevice(const std::string &name) {
  removeUnused({"Device", "device", "", "", ""}, name);
}

} // namespace arxhost
