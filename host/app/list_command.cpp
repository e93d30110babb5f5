#include "host/app/list_command.hpp"

#include <CLI/CLI.hpp>

namespace velto::host {

ListCommand::ListCommand(CLI::App& program) {
  command_ = program.add_subcommand(
      "list", "Print the widgets the extension declares: kind, name, description, sizes");
  command_->add_flag("--json", json_, "Print them as one JSON array");
  command_->add_option("--extension", extension_,
                       "The widget extension to ask (default: the one beside this program, else "
                       "in ../libexec/velto)");
}

bool ListCommand::chosen() const {
  return command_->parsed();
}

}  // namespace velto::host
