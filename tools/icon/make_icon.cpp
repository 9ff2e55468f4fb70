// Run on the building machine, also when it builds for Windows: writes the
// setup dialog's icon as a PNG for the menus or as an .ico for the
// resources, so that both show the dialog's own pixels.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "setup/frm_setup_layout.h"
#include "tools/icon/icon_files.h"

namespace {

void Write(const char* path, const tarnlight::tools::Bytes& bytes) {
  std::FILE* out = std::fopen(path, "wb");
  if (!out) throw std::runtime_error("cannot write the icon file");
  bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written)
    throw std::runtime_error("the icon file is incomplete");
}

}  // namespace

int main(int argc, char** argv) {
  std::string_view path = argc == 2 ? argv[1] : "";
  bool ico = path.ends_with(".ico");
  if (!ico && !path.ends_with(".png")) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.png|OUTPUT.ico\n");
    return 2;
  }
  try {
    const auto* icon = tarnlight::FrmSetupLayout().icon;
    if (!icon) throw std::runtime_error("the setup dialog has no icon");
    using namespace tarnlight::tools;
    Write(argv[1], ico ? IconIco(*icon) : IconPng(*icon));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_icon: %s\n", e.what());
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
