// Build tool, run on the building machine: writes the setup dialog's icon
// as an .ico file for the resource compiler.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <vector>

#include "platform/win32/ico_file.h"
#include "setup/frm_setup_layout.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
    return 2;
  }
  try {
    const auto* icon = tarnlight::FrmSetupLayout().icon;
    if (!icon) throw std::runtime_error("the setup dialog has no icon");
    std::vector<std::uint8_t> bytes = tarnlight::win32::IcoFile(*icon);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) throw std::runtime_error("cannot write the icon file");
    bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written)
      throw std::runtime_error("the icon file is incomplete");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_icon: %s\n", e.what());
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
