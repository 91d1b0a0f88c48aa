// The viewer as `taloran CAPTURE` starts it, ending as soon as its first picture is on screen (the
// picture control repaints before a load returns): viewer_bench times this process.
#include <QCoreApplication>

#include "qt/picture_ctrl.h"
#include "qt/taloran_app.h"
#include "qt/taloran_window.h"
#include "tests/support/window_checks.h"

namespace {

struct EndAtFirstPicture : taloran::StartObserver {
  std::optional<int> Started(taloran::TaloranWindow& window) override {
    QCoreApplication::processEvents();
    return taloran::test::PictureOf(window)->state() == taloran::CPictureCtrl::State::Showing ? 0 : 2;
  }
};

}  // namespace

int main(int argc, char** argv) {
  EndAtFirstPicture observer;
  return taloran::CTaloranApp(&observer).Run(argc, argv);
}
