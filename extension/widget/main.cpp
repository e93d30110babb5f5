#include "extension/widget/velto_widget_bundle.hpp"
#include "platform/widgets/runtime/extension_runner.hpp"

namespace {

// The program's own entry, entered by the extension runner once it is connected.
int programMain() {
  velto::widget::VeltoWidgetBundle::main();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return platform::widgets::extensionMain(argc, argv, programMain);
}
