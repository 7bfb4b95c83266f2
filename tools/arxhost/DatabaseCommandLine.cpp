// The command line of init and of site, port and device add, list and
// remove.
#include "CommandLine.h"
#include "Commands.h"

#include <iostream>
#include <memory>

namespace arxhost {
namespace {

constexpr const char *kConnectionHelp =
    "how to reach the meter: tcp://HOST:PORT[?timeout=MS&connect_timeout=MS] or "
    "rtu:///dev/ttyX?baud=19200&parity=E&stop=1[&data=8&timeout=MS&turnaround=MS]";

CLI::App *groupCommand(CLI::App &app, TableKind kind, const std::string &description) {
  auto *group = app.add_subcommand(tableKindName(kind), description)->require_subcommand(1);
  group->footer(std::string("Commands: add, list, remove; see 'arxhost ") + tableKindName(kind) +
                " add --help'.");
  return group;
}

void addListAndRemove(CLI::App &group, TableKind kind, CommandLine &line,
                      int (*list)(const std::filesystem::path &, std::ostream &)) {
  const std::string what = tableKindName(kind);
  group.add_subcommand("list", "list the " + what + "s")->callback([&line, list] {
    line.action = [&line, list] { return list(line.dbFile, std::cout); };
  });
  auto name = std::make_shared<std::string>();
  auto *remove = group.add_subcommand("remove", "remove a " + what + " that nothing uses");
  remove->add_option("name", *name, what + " name")->required();
  remove->callback([&line, kind, name] {
    line.action = [&line, kind, name] {
      return removeCommand(line.dbFile, kind, *name, std::cout);
    };
  });
}

void addSiteCommands(CLI::App &app, CommandLine &line) {
  auto *site = groupCommand(app, TableKind::Site, "manage sites (groups of ports)");
  auto name = std::make_shared<std::string>();
  auto *add = site->add_subcommand("add", "add a site");
  add->add_option("name", *name, "site name")->required();
  add->callback([&line, name] {
    line.action = [&line, name] { return siteAddCommand(line.dbFile, *name, std::cout); };
  });
  addListAndRemove(*site, TableKind::Site, line, &siteListCommand);
}

void addPortCommands(CLI::App &app, CommandLine &line) {
  auto *port = groupCommand(app, TableKind::Port, "manage ports (how meters are reached)");
  auto options = std::make_shared<NewPort>();
  auto *add = port->add_subcommand("add", "add a port with its connection");
  add->add_option("name", options->name, "port name")->required();
  add->add_option("--connection", options->connection, kConnectionHelp);
  add->add_option("--site", options->site, "site name (made when missing)")->capture_default_str();
  add->footer("Example: arxhost port add Line1 --connection "
              "'rtu:///dev/ttyUSB0?baud=19200&parity=E&stop=1'");
  add->callback([&line, options] {
    line.action = [&line, options] { return portAddCommand(line.dbFile, *options, std::cout); };
  });
  addListAndRemove(*port, TableKind::Port, line, &portListCommand);
}

void addDeviceTableCommands(CLI::App &app, CommandLine &line) {
  auto *device = groupCommand(app, TableKind::Device, "manage devices (meters)");
  auto options = std::make_shared<NewDevice>();
  auto *add = device->add_subcommand("add", "register a meter of the MX4110_4120 translator");
  add->add_option("name", options->name, "device name")->required();
  add->add_option("--connection", options->connection,
                  std::string(kConnectionHelp) + " (sets it on a new port)");
  add->add_option("--unit", options->unit, "Modbus unit number (0 to 255)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  add->add_option("--tree", options->treeFile, "tree file name, in the translator directory");
  add->add_option("--map", options->mapFile,
                  "map file name of the device type, in the translator directory");
  add->add_option("--port", options->port, "port name (made when missing)")->capture_default_str();
  add->add_option("--site", options->site, "site of a new port (default Site)");
  add->add_option("--type", options->type, "device type name")->capture_default_str();
  add->footer("Example: arxhost device add meter1 --connection tcp://192.168.1.20:502 --unit 1 "
              "--tree tree.xml --map map.xml\n"
              "The tree and map files are looked up in the translator directory "
              "(translators/ beside the database after 'arxhost init').");
  add->callback([&line, options] {
    line.action = [&line, options] { return deviceAddCommand(line.dbFile, *options, std::cout); };
  });
  addListAndRemove(*device, TableKind::Device, line, &deviceListCommand);
}

} // namespace

void addDatabaseCommands(CLI::App &app, CommandLine &line) {
  app.add_subcommand("init", "create a host database with the plug-in's translator, and the "
                             "translators/ and data/ directories beside it")
      ->callback(
          [&line] { line.action = [&line] { return initCommand(line.dbFile, std::cout); }; });
  addSiteCommands(app, line);
  addPortCommands(app, line);
  addDeviceTableCommands(app, line);
}

} // namespace arxhost
