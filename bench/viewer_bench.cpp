// What a person waits for in the viewer, offscreen: a slider step until the picture is repainted,
// an output or index change, Next (button or key) until the new picture and panel are shown, a
// window resize and a repaint at any zoom at 1920 x 1080, the pixel probe and the area figures;
// 200 steps each, the table gives every median. Then the start-up of `taloran CAPTURE` to its
// first picture (viewer_startup), a fresh process each time, the median of 15. The flight map:
// opening it on 1,000 captures, its colour pass, and steps while that runs.
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/picture_readings.h"
#include "app/taloran_dlg.h"
#include "core/index/index_value.h"
#include "image_io/large_buffer.h"
#include "qt/flight_map_panel.h"
#include "qt/flight_map_widget.h"
#include "qt/picture_ctrl.h"
#include "qt/taloran_window.h"
#include "res/resource.h"
#include "tests/support/window_checks.h"
#include "tools/sample_capture.h"
#include "tools/sample_flight.h"

using namespace taloran;
using namespace taloran::res;

namespace {

constexpr int kSteps = 200;
constexpr int kStartRuns = 15;
constexpr unsigned kMapScenes = 25;  // the flight's frames repeat these; each record has its own position
std::size_t benchmark_sink = 0;      // keeps the measured results alive

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

// The step table: sliders, views, Next, resizes, zoomed repaints, the probe and area figures.
void StepTable(TaloranWindow& window, CTaloranDlg& dialog, FrameStore& frame) {
  auto slide = [&window](int id) {
    auto* slider = static_cast<QSlider*>(window.Control(id));
    return [slider](int i) { slider->setValue(1 + (i * 37) % 150); };
  };
  std::printf("%-34s %10s\n", "step (200 each)", "median ms");
  test::Click(window, kColourImage);
  std::printf("%-34s %10.2f\n", "colour: red gain step", MedianMs(slide(kRedSlider)));
  std::printf("%-34s %10.2f\n", "colour: blue gain step", MedianMs(slide(kBlueSlider)));
  test::Click(window, kViOut);
  for (int id = kNdvi; id <= kGi; ++id) {
    test::Click(window, id);
    const std::string name =
        "index " + window.Text(kStatusText).substr(0, window.Text(kStatusText).find(' ')) + ": VI gain step";
    std::printf("%-34s %10.2f\n", name.c_str(), MedianMs(slide(kViSlider)));
  }
  std::printf("%-34s %10.2f\n", "index change", MedianMs([&window](int i) { test::Click(window, kNdvi + i % 10); }));
  const int outputs[] = {kRawRed, kRawNir, kColourImage, kViOut};
  std::printf("%-34s %10.2f\n", "output change", MedianMs([&](int i) { test::Click(window, outputs[i % 4]); }));
  std::printf("%-34s %10.2f\n", "Next (read, render, panel)", MedianMs([&window](int) { test::Click(window, kNext); }));
  QWidget* ok = window.Control(kIdOk);
  ok->setFocus();
  QApplication::setActiveWindow(&window);
  std::printf("%-34s %10.2f\n", "Right key (Next)", MedianMs([ok](int) { QTest::keyClick(ok, Qt::Key_Right); }));

  window.showNormal();
  window.resize(1920, 1080);
  QApplication::processEvents();
  std::printf("%-34s %10.2f\n", "resize and repaint, 1920 x 1080", MedianMs([&window](int i) {
                window.resize(1920 - i % 2 * 40, 1080 - i % 2 * 30);
                window.repaint();
              }));
  window.resize(1920, 1080);
  CPictureCtrl* picture = test::PictureOf(window);
  for (const double zoom : {1.0, 2.0, 4.0, 16.0, 32.0}) {
    picture->Handle(DesktopCommand::ZoomFit);
    while (std::max(picture->transform().scaleX(), picture->transform().scaleY()) < zoom * 0.999 &&
           picture->transform().zoom() < picture->transform().maxZoom()) {
      picture->Handle(DesktopCommand::ZoomIn);
    }
    const std::string name = "picture repaint at " + std::to_string(static_cast<int>(zoom)) + " px a pixel";
    std::printf("%-34s %10.2f\n", name.c_str(), MedianMs([picture](int) { picture->repaint(); }));
  }
  picture->Handle(DesktopCommand::ZoomFit);

  const ShownView ndvi{true, kViewIndex, kIndexNdvi, dialog.Gains};
  std::printf("%-34s %10.4f\n", "probe line (in-process)", MedianMs([&ndvi, &frame](int i) {
                const std::string line = ProbeText(frame, ndvi, {i * 6 % kFrameWidth, i * 3 % kFrameHeight});
                benchmark_sink = line.size();
              }));
  StatisticsWorkspace work;
  for (const std::uint16_t code : {kIndexNdvi, kIndexGi, kIndexEvi, kIndexSipi}) {
    const ShownView view{true, kViewIndex, code, dialog.Gains};
    const std::string name = std::string("area figures, frame, ") + SelectedIndex(code).key;
    std::printf("%-34s %10.2f\n", name.c_str(), MedianMs([&](int) {
                  benchmark_sink = ComputeAreaFigures(frame, view, std::nullopt, work).statistics.valid;
                }));
  }
}

// The flight map: a folder of 1,000 captures (20 lines of 50) opened on the map, from the records
// alone; then the points coloured by NDVI means, the window stepping meanwhile.
void FlightMapTable(TaloranWindow& window, CTaloranDlg& dialog, const std::filesystem::path& folder) {
  std::string error;
  // Next and Previous by turns, until `more` says no more: each step's time, in order.
  const auto stepWhile = [&window](const std::function<bool(std::size_t)>& more) {
    std::vector<double> steps;
    while (more(steps.size())) {
      const auto start = std::chrono::steady_clock::now();
      test::Click(window, steps.size() % 2 ? kPrevious : kNext);
      QApplication::processEvents();
      steps.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(steps.begin(), steps.end());
    return steps;
  };
  constexpr std::size_t kPlainSteps = 40;
  const auto plain = [](std::size_t n) { return n < kPlainSteps; };
  std::printf("%-34s %10.2f\n", "step, 3-capture folder, median", stepWhile(plain)[kPlainSteps / 2]);

  const std::filesystem::path flight = folder / "flight";
  std::filesystem::create_directories(flight);
  {
    FlightDesign design;
    design.lines = 20, design.perLine = 50;
    const auto planned = PlanFlight(design);
    std::vector<std::vector<std::uint8_t>> scenes;
    for (unsigned s = 0; s < kMapScenes; ++s) {
      scenes.push_back(EncodeCapture(FlightScene(planned[s], design, s + 1), false));
    }
    for (std::size_t i = 0; i < planned.size(); ++i) {
      std::vector<std::uint8_t>& bytes = scenes[i % kMapScenes];
      MetadataRecord record{};
      std::copy_n(bytes.begin() + 8, 72, record.begin());
      PutPosition(record, planned[i].position, design.heightM, planned[i].headingDeg);
      std::copy_n(record.begin(), 72, bytes.begin() + 8);
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04zu.tif", i);
      WriteFileBytes(flight / name, bytes, error);
    }
    std::ofstream(flight / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
    ::sync();  // the 4 GB written are on disk before anything is timed
  }
  dialog.OpenCapture((flight / "IMG_0000.tif").string());
  window.Presenter().Refresh();
  FlightMapPanel* panel = test::FlightMapOf(window);
  std::vector<double> opens;
  for (int run = 0; run < kStartRuns; ++run) {
    if (panel->isVisible()) window.ToggleFlightMap();
    QApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    window.ToggleFlightMap();  // reads the folder's records again and paints the map
    QApplication::processEvents();
    opens.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(opens.begin(), opens.begin() + kStartRuns / 2, opens.end());
  std::printf("%-34s %10.2f\n", "flight map of 1,000 opened", opens[kStartRuns / 2]);

  std::vector<double> paints;
  for (int i = 0; i < 20; ++i) {
    const auto start = std::chrono::steady_clock::now();
    panel->Map()->SetColours(std::nullopt);  // the points painted again over the kept footprints
    panel->Map()->repaint();
    paints.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(paints.begin(), paints.end());
  std::printf("%-34s %10.2f\n", "flight map recoloured, 1,000", paints[paints.size() / 2]);

  const auto passStart = std::chrono::steady_clock::now();
  panel->ColourByIndex()->setChecked(true);
  const std::vector<double> during = stepWhile([panel](std::size_t) { return !panel->Progress()->text().isEmpty(); });
  const double passMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - passStart).count();
  std::printf("%-34s %10.2f\n", "colour pass of 1,000, captures/s", 1000 / (passMs / 1000));
  if (!during.empty()) {
    std::printf("%-34s %10.2f\n", "step during the pass, median", during[during.size() / 2]);
    std::printf("%-34s %10.2f\n", "step during the pass, 95th pct", during[during.size() * 95 / 100]);
  }
  std::printf("%-34s %10.2f\n", "step after the pass, median", stepWhile(plain)[kPlainSteps / 2]);
  window.ToggleFlightMap();
  std::printf("%-34s %10.2f\n", "step, map closed, median", stepWhile(plain)[kPlainSteps / 2]);
  std::filesystem::remove_all(flight);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "taloran-viewer-bench";
  std::filesystem::create_directories(folder);
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);  // settings of the run's own, never the user's
  QApplication app(argc, argv);
  std::string error;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    WriteFileBytes(folder / ("field_0" + std::to_string(seed) + ".tif"), EncodeCapture(FieldScene(seed), false), error);
  }

  LargeObject<FrameStore> frame;
  TaloranWindow window;
  CTaloranDlg dialog(window, *frame);
  window.Attach(&dialog);
  dialog.OnInitDialog();
  window.show();
  dialog.OpenCapture((folder / "field_01.tif").string());

  // `viewer_bench map` measures the flight map alone.
  const bool mapOnly = argc > 1 && std::strcmp(argv[1], "map") == 0;
  if (!mapOnly) StepTable(window, dialog, *frame);
  FlightMapTable(window, dialog, folder);
  if (mapOnly) {
    std::filesystem::remove_all(folder);
    return 0;
  }

  // Start-up, from the process's start to its first picture painted, offscreen.
  std::vector<double> starts;
  const std::string capture = (folder / "field_01.tif").string();
  for (int run = 0; run < kStartRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((std::string(TALORAN_VIEWER_STARTUP_PATH) + " '" + capture + "'").c_str());
    if (status != 0) std::printf("start-up run %d failed (%d)\n", run, status);
    starts.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(starts.begin(), starts.begin() + kStartRuns / 2, starts.end());
  std::printf("%-34s %10.2f\n", "start-up to the first picture", starts[kStartRuns / 2]);
  std::filesystem::remove_all(folder);
  return 0;
}
