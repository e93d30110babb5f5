#include "host/app/gallery_command.hpp"

#include <CLI/CLI.hpp>

namespace velto::host {

GalleryCommand::GalleryCommand(CLI::App& program) : render_(program.get_subcommand("render")) {
  option_ = render_->add_option(
      "--gallery", folder_,
      "Draw each widget at each size into DIR as a widget gallery shows them (a preview "
      "snapshot, else the placeholder), named KIND-SIZE.png");
  option_->type_name("DIR");
  CLI::Option* out = render_->get_option("--out");
  out->required(false);
  option_->excludes(out)->excludes("--family")->excludes("--placeholder");
  render_->final_callback([this, out] {
    if (out->count() == 0 && option_->count() == 0) {
      throw CLI::RequiredError("--out");
    }
  });
}

bool GalleryCommand::chosen() const {
  return option_->count() > 0;
}

}  // namespace velto::host
