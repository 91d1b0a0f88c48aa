// What a person waits for in the viewer, offscreen: a slider step until the picture is repainted,
// an output or index change, and Next until the new picture and panel are shown. 200 steps each;
// the table gives every median.
#include <QApplication>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "sample_capture.h"
#include "taloran_dlg.h"
#include "taloran_window.h"

using namespace taloran;
using namespace taloran::res;

namespace {

constexpr int kSteps = 200;

double MedianMs(const std::function<void(int)>& step) {
  std::vector<double> times;
  for (int i = 0; i < kSteps; ++i) {
    const auto start = std::chrono::steady_clock::now();
    step(i);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + kSteps / 2, times.end());
  return times[kSteps / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "taloran-viewer-bench";
  std::filesystem::create_directories(folder);
  std::string error;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    WriteFileBytes(folder / ("field_0" + std::to_string(seed) + ".tif"), EncodeCapture(FieldScene(seed), false), error);
  }

  TaloranWindow window;
  CTaloranDlg dialog(window);
  window.Attach(&dialog);
  dialog.OnInitDialog();
  window.show();
  dialog.OpenCapture((folder / "field_01.tif").string());

  auto slide = [&window](int id) {
    auto* slider = static_cast<QSlider*>(window.Control(id));
    return [slider](int i) { slider->setValue(1 + (i * 37) % 150); };
  };
  std::printf("%-34s %10s\n", "step (200 each)", "median ms");
  window.Click(kColourImage);
  std::printf("%-34s %10.2f\n", "colour: red gain step", MedianMs(slide(kRedSlider)));
  std::printf("%-34s %10.2f\n", "colour: blue gain step", MedianMs(slide(kBlueSlider)));
  window.Click(kViOut);
  for (int id = kNdvi; id <= kGi; ++id) {
    window.Click(id);
    const std::string name = "index " + window.Text(kStatusText).substr(0, window.Text(kStatusText).find(' ')) + ": VI gain step";
    std::printf("%-34s %10.2f\n", name.c_str(), MedianMs(slide(kViSlider)));
  }
  std::printf("%-34s %10.2f\n", "index change", MedianMs([&window](int i) { window.Click(kNdvi + i % 10); }));
  const int outputs[] = {kRawRed, kRawNir, kColourImage, kViOut};
  std::printf("%-34s %10.2f\n", "output change", MedianMs([&](int i) { window.Click(outputs[i % 4]); }));
  std::printf("%-34s %10.2f\n", "Next (read, render, panel)", MedianMs([&window](int) { window.Click(kNext); }));
  std::filesystem::remove_all(folder);
  return 0;
}
