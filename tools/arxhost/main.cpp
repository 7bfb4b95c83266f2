// arxhost: a small host for the arxmod translator plug-in. It keeps the
// host configuration database and drives the plug-in as the host's
// communications server does.
//
// Exit status: 0 on success; 1 for any failure (a command that did not
// succeed, an error that names what to fix, a command line that does not
// parse).
#include "CommandLine.h"
#include "HostDatabase.h"

#include <iostream>

int main(int argc, char **argv) {
  CLI::App app{"arxhost: host configuration database and test host for the MX4110_4120 "
               "translator plug-in"};
  app.require_subcommand(1);
  app.footer("Run 'arxhost COMMAND --help' for the options of a command.\n"
             "Start with 'arxhost demo', or: arxhost init; arxhost device add meter1 "
             "--connection tcp://HOST:502 --tree tree.xml --map map.xml; arxhost read meter1 "
             "0x110");
  arxhost::CommandLine line;
  app.add_option("--db", line.dbFile, "host configuration database file")
      ->envname("ARXMOD_HOST_DB")
      ->capture_default_str();
  arxhost::addDatabaseCommands(app, line);
  arxhost::addDeviceCommands(app, line);
  arxhost::addServiceCommands(app, line);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e) == 0 ? 0 : 1;
  }
  try {
    return line.action ? line.action() : 0;
  } catch (const std::exception &e) {
    std::cerr << "arxhost: " << e.what() << "\n";
    return 1;
  }
}
