#include "qt/taloran_app.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/taloran_dlg.h"
#include "image_io/large_buffer.h"
#include "qt/taloran_window.h"

namespace taloran {

namespace {

// Qt aborts when no display can be opened; say so in one line instead.
bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') return true;  // the caller chose one
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int CTaloranApp::Run(int argc, char** argv) {
  // Answered without a display, as any program answers them.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "usage: taloran [CAPTURE.tif | FOLDER]\n"
        "The viewer of four-band captures: opens the capture (or a folder's first capture) named,\n"
        "else the window alone. F1 in the window gives the keys.\n");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("taloran %s\n", TALORAN_VERSION);
    return 0;
  }
  if (!DisplayAvailable()) {
    std::fprintf(stderr, "taloran: no display to show the viewer on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
    return 1;
  }
  if (argc > 2) {
    std::fprintf(stderr, "usage: taloran [CAPTURE.tif]\n");
    return 64;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Taloran");
  QApplication::setOrganizationName("Taloran");
  QGuiApplication::setDesktopFileName("taloran");

  LargeObject<FrameStore> frame;  // zeroed, as the picture of a capture not yet read
  TaloranWindow window;
  CTaloranDlg dialog(window, *frame);
  window.Attach(&dialog);
  dialog.OnInitDialog();
  window.PlaceOnScreen(QGuiApplication::primaryScreen());
  window.show();
  if (argc == 2) {
    window.Presenter().OpenNamed(argv[1]);
  }
  if (observer_ != nullptr) {
    if (const std::optional<int> code = observer_->Started(window)) return *code;
  }
  window.exec();  // the result is not examined: nothing is saved either way
  return 0;
}

}  // namespace taloran
