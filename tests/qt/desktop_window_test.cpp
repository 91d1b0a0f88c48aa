// The window as a desktop application, offscreen on four screens (1920 x 1080, 1366 x 768,
// 1280 x 720, 2560 x 1440): where it opens, keys, Enter, radio groups, drops, the context menu,
// the letterbox, remembered geometry and what a screen reader hears.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <cstdlib>
#include <fstream>

#include "app/desktop_presenter.h"
#include "app/taloran_dlg.h"
#include "core/geo/plot_grid.h"
#include "core/stats/index_statistics.h"
#include "qt/flight_map_panel.h"
#include "qt/flight_map_widget.h"
#include "qt/picture_ctrl.h"
#include "qt/plots_tab.h"
#include "qt/statistics_window.h"
#include "qt/status_strip.h"
#include "qt/taloran_window.h"
#include "qt/window_prompts.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/test_support.h"
#include "tests/support/window_checks.h"

namespace taloran {
namespace {

// How long a test waits for the window to show what it expects: far longer than it takes, so that
// only a fault (not a loaded machine) makes it run out.
constexpr int kPatience = 10'000;   // milliseconds
constexpr int kSlowWork = 300'000;  // a whole field map on the idle worker

using namespace res;

std::filesystem::path Screenshot(const std::string& name) {
  return std::filesystem::path(TALORAN_SCREENSHOT_DIR) / name;
}

struct DesktopWindowTest : ::testing::Test {
  test::AnsweringDialogs dialogs;
  std::vector<std::string>& messages = dialogs.messages;
  std::unique_ptr<TaloranWindow> window = std::make_unique<TaloranWindow>(&dialogs);
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  CTaloranDlg dialog{*window, *frame};
  test::TempDir dir;
  std::vector<std::string> paths;

  void SetUp() override {
    QSettings().clear();
    window->Attach(&dialog);
    dialog.OnInitDialog();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
  }
  void OpenFolder() {
    for (const char* name : {"field_01.tif", "field_02.tif", "field_03.tif"}) {
      paths.push_back(dir.Write(name, EncodeCapture(FieldScene(static_cast<unsigned>(name[7] - '0')), false)).string());
    }
    dialogs.SetFiles([this] { return std::vector<std::string>{paths[1]}; });
    test::Click(*window, kSearchFile);
  }
  void Key(QWidget* focus, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    focus->setFocus();
    QTest::keyClick(focus, key, modifiers);
  }
  // A reading of the status strip, found as a screen reader or a tool finds it.
  QLabel* Strip(const char* name) const { return window->findChild<QLabel*>(name); }
  std::string Name(QWidget* w) const {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).toStdString();
  }
};

TEST_F(DesktopWindowTest, OpensWhollyOnEveryScreenWithEveryCaptionReadable) {
  ASSERT_GE(QGuiApplication::screens().size(), 4);
  for (QScreen* screen : QGuiApplication::screens()) {
    // At 150 % the full-HD screen is 1280 x 720 of logical pixels; smaller ones are no desktop's.
    if (screen->availableGeometry().width() < 1280 || screen->availableGeometry().height() < 720) continue;
    auto w = std::make_unique<TaloranWindow>();
    w->PlaceOnScreen(screen);
    w->show();
    QApplication::processEvents();
    const QRect available = screen->availableGeometry();
    SCOPED_TRACE(testing::Message() << available.width() << "x" << available.height() << " at "
                                    << w->font().pointSizeF() << " pt");
    EXPECT_TRUE(available.contains(w->frameGeometry()))
        << w->frameGeometry().width() << "x" << w->frameGeometry().height();
    EXPECT_GE(w->font().pointSizeF(), 6.0);
    for (const ControlTemplate& c : kMainDialog.controls) {
      if (c.id != kIdStatic) {
        EXPECT_TRUE(w->rect().contains(w->Control(c.id)->geometry())) << c.id;
      }
    }
    test::ExpectCaptionsFit(*w, WindowBase(w->font().pointSizeF()));
    if (available.width() >= 1900) {
      EXPECT_EQ(w->font().pointSizeF(), kDialogFontPoints);  // as drawn where it fits
    }
    if (available.width() == 1366) {
      EXPECT_TRUE(w->grab().save(QString::fromStdString(Screenshot("laptop-1366x768.png").string())));
    }
  }
}

TEST_F(DesktopWindowTest, RemembersItsGeometryButNeverOpensOffScreen) {
  QScreen* screen = QGuiApplication::screens().front();
  window->PlaceOnScreen(screen);
  window->setGeometry(QRect(screen->availableGeometry().topLeft() + QPoint(40, 50), QSize(1500, 800)));
  test::Click(*window, kIdCancel);  // closing remembers where it was
  {
    TaloranWindow again;
    CTaloranDlg dlg(again, *frame);
    again.Attach(&dlg);
    again.PlaceOnScreen(screen);
    EXPECT_EQ(again.geometry().size(), QSize(1500, 800));
    again.move(-30000, -30000);
    test::Click(again, kIdCancel);
  }
  TaloranWindow lost;
  CTaloranDlg dlg(lost, *frame);
  lost.Attach(&dlg);
  dlg.OnInitDialog();
  lost.PlaceOnScreen(screen);
  EXPECT_TRUE(screen->availableGeometry().intersects(lost.geometry()));
  EXPECT_EQ(lost.windowTitle(), "Taloran");
  EXPECT_TRUE(lost.IsChecked(kRawRed));  // the dialog itself starts as ever
  EXPECT_EQ(lost.Text(kViGainText), " 50");
}

TEST_F(DesktopWindowTest, KeysStepUnlessTheFocusedControlUsesThem) {
  OpenFolder();
  EXPECT_EQ(window->windowTitle(), "field_02.tif (2 of 3) - Taloran");
  QWidget* ok = window->Control(kIdOk);
  Key(ok, Qt::Key_Right);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  EXPECT_EQ(window->windowTitle(), "field_03.tif (3 of 3) - Taloran");
  Key(ok, Qt::Key_Home);
  EXPECT_EQ(dialog.CurrentPath, paths[0]);
  Key(window->Control(kFileName), Qt::Key_End);  // the edit's own End
  EXPECT_EQ(dialog.CurrentPath, paths[0]);
  Key(window->Control(kFileName), Qt::Key_PageUp);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  test::Click(*window, kViOut);
  auto* vi = static_cast<QSlider*>(window->Control(kViSlider));
  Key(vi, Qt::Key_Right);  // the slider's own arrow
  EXPECT_EQ(vi->value(), 51);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  Key(vi, Qt::Key_Space);
  EXPECT_EQ(dialog.CurrentPath, paths[0]);
  Key(vi, Qt::Key_Backspace);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  int chosen = 0;
  dialogs.SetFiles([&chosen] { return ++chosen, std::vector<std::string>{}; });
  Key(ok, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(chosen, 1);
  std::ofstream(paths[2], std::ios::trunc) << "broken";
  Key(ok, Qt::Key_F5);  // reads again, and says what "Search Tif file" would say
  EXPECT_EQ(messages, std::vector<std::string>{"Unknown error"});
  EXPECT_TRUE(window->isVisible());
}

// A fresh window's focus is where Space steps, as the key list says, not on OK (which Space would
// press, closing the window); Enter still means OK.
TEST_F(DesktopWindowTest, SpaceInAFreshWindowStepsAndEnterStillMeansOk) {
  OpenFolder();
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  QTest::keyClick(focus, Qt::Key_Space);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  EXPECT_TRUE(window->isVisible());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Accepted);
}

// Hundreds of captures without a fix scroll within the panel instead of stretching it off the screen.
TEST(FlightMapPanelTest, AFlightWithoutFixesStaysOnTheScreen) {
  constexpr int kScreenHeight = 1080;
  FlightMapPanel panel(nullptr);
  FlightMap map;
  for (int i = 0; i < 416; ++i) map.unplaced.push_back("IMG_" + std::to_string(i) + ".tif: no position fix");
  panel.ShowFlight(map);
  panel.show();
  EXPECT_LT(panel.sizeHint().height(), kScreenHeight);
  EXPECT_LT(panel.minimumSizeHint().height(), kScreenHeight);
  EXPECT_NE(panel.Unplaced()->text().indexOf("IMG_415.tif"), -1) << "every name is still there to scroll to";
}

TEST_F(DesktopWindowTest, EnterPressesTheFocusedButtonAndElsewhereOk) {
  OpenFolder();
  Key(window->Control(kNext), Qt::Key_Return);
  EXPECT_EQ(dialog.CurrentPath, paths[2]);
  EXPECT_TRUE(window->isVisible());
  test::Click(*window, kViOut);
  Key(window->Control(kViSlider), Qt::Key_Return);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(DesktopWindowTest, ARadioClearsOnlyTheEnabledMembersOfItsOwnGroup) {
  test::Click(*window, kColourImage);  // the colour view enables its gains; nothing was opened yet
  EXPECT_TRUE(window->IsChecked(kColourImage) && !window->IsChecked(kRawRed));
  EXPECT_TRUE(window->IsChecked(kIrradianceSource));  // the other group keeps its mark
  EXPECT_EQ(test::PictureOf(*window)->state(), CPictureCtrl::State::Showing);
  test::Click(*window, kColourImage);  // a second click keeps it checked
  EXPECT_TRUE(window->IsChecked(kColourImage));
  test::Click(*window, kNdvi);  // disabled: nothing happens
  EXPECT_FALSE(window->IsChecked(kNdvi));
  test::Click(*window, kViOut);
  ASSERT_FALSE(window->Control(kIrradianceSource)->isEnabled());
  test::Click(*window, kEvi);
  EXPECT_TRUE(window->IsChecked(kIrradianceSource));  // disabled: keeps the source in force shown
  EXPECT_FALSE(window->IsChecked(kNdvi));
  test::Click(*window, kAutoCorrection);
  EXPECT_TRUE(window->IsChecked(kIrradianceSource) && window->Control(kIrradianceSource)->isEnabled());
  test::Click(*window, kGi);  // enabled now: cleared as the group's member
  EXPECT_FALSE(window->IsChecked(kIrradianceSource));
}

TEST_F(DesktopWindowTest, DropsOpenCapturesAndRefuseOtherFiles) {
  OpenFolder();
  auto drop = [this](const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent event(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &event);
  };
  drop(dir.Write("notes.txt", {1}).string());
  EXPECT_EQ(Strip(StatusStrip::kMessage)->text(), "Not a .tif capture: notes.txt");
  EXPECT_EQ(dialog.LoadedPath, paths[1]);
  drop(paths[2]);
  EXPECT_EQ(dialog.LoadedPath, paths[2]);
  drop(dir.path().string());
  EXPECT_EQ(dialog.LoadedPath, paths[0]);
}

TEST_F(DesktopWindowTest, TheMenuOffersSavingCopyingRecentAndTheLetterbox) {
  OpenFolder();
  const std::unique_ptr<QMenu> menu = window->ContextMenu();
  QStringList texts;
  QAction* aspect = nullptr;
  for (QAction* a : menu->actions()) {
    texts << a->text();
    if (a->text() == "Keep aspect ratio") aspect = a;
  }
  for (const char* item : {"Open...", "Previous", "Next", "Reload", "Save picture as...", "Copy picture",
                           "Copy camera data", "Open recent", "Keyboard shortcuts"}) {
    EXPECT_TRUE(texts.contains(item)) << item;
  }
  EXPECT_EQ(texts.back(), "&About Taloran...");
  menu->actions()[texts.indexOf("Copy picture")]->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied, test::PictureOf(*window)->Image().convertToFormat(copied.format()));
  Key(window->Control(kIdOk), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("Brightness:\t"));
  ASSERT_NE(aspect, nullptr);
  window->resize(1832, 1000);  // a tall picture area: the frame letterboxed above and below
  aspect->trigger();
  QApplication::processEvents();
  const QImage shot = window->grab().toImage();
  const QRect area = test::PictureOf(*window)->geometry();
  const QRgb neutral = window->palette().color(QPalette::Mid).rgb();
  EXPECT_EQ(shot.pixel(area.center().x(), area.top() + 4), neutral);
  EXPECT_NE(shot.pixel(area.center()), neutral);
  EXPECT_TRUE(shot.save(QString::fromStdString(Screenshot("keep-aspect.png").string())));
  EXPECT_TRUE(QSettings().value("viewer/keepAspect").toBool());
}

TEST_F(DesktopWindowTest, AScreenReaderHearsEveryControlByItsLabel) {
  const std::pair<int, const char*> names[] = {{1028, "Red"},
                                               {1043, "Average Red Level Image"},
                                               {kRedGainText, "R-Gain"},
                                               {kRedSlider, "R-Gain"},
                                               {kViGainText, "VI-Gain"},
                                               {1027, "Brightness:"},
                                               {1030, "IR"},
                                               {1039, "Heigth"},
                                               {kFileName, "Tiff file name:"}};
  for (const auto& [id, name] : names) EXPECT_EQ(Name(window->Control(id)), name) << id;
  for (const ControlTemplate& c : kMainDialog.controls) {
    if (c.id == kIdStatic) continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window->Control(c.id));
    EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << c.id;
    if (c.kind == ControlKind::Radio) {
      EXPECT_EQ(a->role(), QAccessible::RadioButton) << c.id;
    }
    if (c.kind == ControlKind::Edit) {  // the boxes show, never take, text: read-only, and look it
      EXPECT_TRUE(a->state().readOnly && !a->state().editable) << c.id;
      const QAccessibleTextInterface* text = a->textInterface();  // what a screen reader reads the box by
      ASSERT_NE(text, nullptr) << c.id;
      EXPECT_EQ(text->text(0, text->characterCount()), qobject_cast<QLineEdit*>(window->Control(c.id))->text()) << c.id;
      EXPECT_EQ(window->Control(c.id)->palette().color(QPalette::Base),
                window->Control(c.id)->palette().color(QPalette::Window))
          << c.id;
    }
  }
  QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(test::PictureOf(*window));
  EXPECT_EQ(picture->role(), QAccessible::Graphic);
  test::Click(*window, kViOut);  // the legend read out with the view, its entries from the top
  EXPECT_EQ(picture->text(QAccessible::Description),
            "NDVI, R-NIR. Legend: from 1.000 (192); from 0.391 (153); from 0.141 (137); from -0.125 (121); "
            "from -0.500 (97); from -1.000 (65)");
  test::Click(*window, kColourImage);
  EXPECT_EQ(picture->text(QAccessible::Description), "Color Image");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Strip(StatusStrip::kProbe))->role(), QAccessible::StaticText);
  // The strip's readings reach a screen reader as the descriptions of their labels.
  window->Presenter().Drop({"/nowhere/notes.txt"});
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Strip(StatusStrip::kMessage))->text(QAccessible::Description),
            "Not a .tif capture: notes.txt");
}

// Export from the menu: the shown capture at once; the folder on a worker, the window in use meanwhile.
TEST_F(DesktopWindowTest, ExportsTheCaptureAndTheFolderFromTheMenu) {
  OpenFolder();
  const auto trigger = [this](const QString& text) {
    const std::unique_ptr<QMenu> menu = window->ContextMenu();
    for (QAction* a : menu->actions()) {
      if (a->text() == text) return a->isEnabled() ? (a->trigger(), true) : false;
    }
    return false;
  };
  const std::string out = (dir.path() / "export").string();
  dialogs.exportChoice = ExportChoice{out, ExportLayout::Bands, std::nullopt, false, ""};
  ASSERT_TRUE(trigger("Export capture..."));
  EXPECT_EQ(messages.back(), "Exported 1 of 1 capture to " + out);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "export" / "field_02_NIR.tif"));
  ASSERT_TRUE(trigger("Export folder..."));
  const auto progress = [this] { return window->findChild<QProgressDialog*>(WindowPrompts::kExportProgress); };
  ASSERT_NE(progress(), nullptr);
  EXPECT_TRUE(progress()->isVisible());
  EXPECT_FALSE(trigger("Export folder..."));  // one at a time
  test::Click(*window, kViOut);               // the window answers while the folder is written
  EXPECT_EQ(dialog.ViewMode, kViewIndex);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->Presenter().Exporting(); }, kPatience));
  EXPECT_EQ(messages.back(), "Exported 3 of 3 captures to " + out);
  EXPECT_TRUE(QTest::qWaitFor([&] { return progress() == nullptr; }, kPatience));  // closed, and gone
}

// A flight of 2 lines of 3 captures with the camera profile beside it; the third has no fix.
TEST_F(DesktopWindowTest, TheFlightMapFollowsStepsOpensWhatIsClickedAndReadsAloud) {
  FlightDesign design;
  design.lines = 2, design.perLine = 3;
  const auto flight = PlanFlight(design);
  for (unsigned n = 1; n <= 7; ++n) {
    FlightTrouble trouble;
    trouble.noFix = n == 7;
    std::string name = "field_0";
    name += std::to_string(n);
    name += ".tif";
    paths.push_back(dir.Write(name, EncodeCapture(FlightScene(flight[(n - 1) % 6], design, n, trouble), false)));
  }
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  window->Presenter().OpenNamed(paths[1]);
  Key(window->Control(kIdOk), Qt::Key_M, Qt::ControlModifier);
  FlightMapPanel* panel = test::FlightMapOf(*window);
  ASSERT_TRUE(panel->isVisible());
  FlightMapWidget* map = panel->Map();
  ASSERT_EQ(map->flight().captures.size(), 7u);
  EXPECT_TRUE(map->flight().captures[0].footprint.has_value());
  EXPECT_EQ(panel->Unplaced()->text().toStdString(), "Not on the map:\nfield_07.tif: no position fix");
  const auto highlighted = [&] { return window->Presenter().flightMap()->highlighted(); };
  EXPECT_EQ(highlighted(), 1u);
  window->Presenter().Run(DesktopCommand::Next);
  EXPECT_EQ(highlighted(), 2u);  // the map follows every step

  const QPointF at = *map->PointOf(4);
  QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, at.toPoint());
  EXPECT_EQ(dialog.LoadedPath, paths[4]);
  EXPECT_EQ(highlighted(), 4u);

  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(map);
  EXPECT_EQ(a->text(QAccessible::Name), "Flight map");
  ASSERT_EQ(a->childCount(), 6);  // the capture without a fix is listed, not drawn
  EXPECT_EQ(a->child(5)->text(QAccessible::Name), "field_06.tif");
  for (int i = 0; i < a->childCount(); ++i) {  // the shown capture is the selected one, and says so
    const bool shown = a->child(i)->text(QAccessible::Name) == "field_05.tif";
    EXPECT_EQ(a->child(i)->state().selected, shown) << i;
    EXPECT_EQ(a->child(i)->text(QAccessible::Description), shown ? "shown" : "") << i;
  }
  EXPECT_TRUE(a->child(5)->rect().contains(map->mapToGlobal(map->PointOf(5)->toPoint())));
  map->setFocus();
  const bool statisticsOpen = test::StatisticsOf(*window)->isVisible();
  QTest::keyClick(map, Qt::Key_I, Qt::ControlModifier);  // the window's keys work from the map too
  EXPECT_NE(test::StatisticsOf(*window)->isVisible(), statisticsOpen);
  QTest::keyClick(map, Qt::Key_I, Qt::ControlModifier);
  map->setFocus();
  QTest::keyClick(map, Qt::Key_Right);  // line 2 flies back west: capture 4 is east of 5
  EXPECT_EQ(map->keyboardCapture(), 3u);
  QTest::keyClick(map, Qt::Key_Return);
  EXPECT_EQ(dialog.LoadedPath, paths[3]);

  panel->ColourByIndex()->setChecked(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return panel->Progress()->text().isEmpty(); }, kPatience));
  EXPECT_TRUE(panel->Progress()->text().isEmpty());
  panel->resize(720, 560);
  QApplication::processEvents();
  EXPECT_TRUE(panel->grab().toImage().save(QString::fromStdString(Screenshot("flight-map.png").string())));
  // Plots: a grid laid out in the flight's middle and measured in the captures, as taloran-cli plots
  // measures it from the grid's file; chosen in the table, shown on the map, read under the pointer.
  panel->Tabs()->setCurrentIndex(2);
  panel->findChild<QPushButton*>("layOutGrid")->click();
  auto* plotsStatus = panel->findChild<QLabel*>("plotsStatus");
  auto* table = panel->findChild<QTableWidget*>("plotsTable");
  EXPECT_TRUE(QTest::qWaitFor([&] { return plotsStatus->text().startsWith("Plots: 24 measured"); }, kSlowWork))
      << plotsStatus->text().toStdString();
  ASSERT_EQ(table->rowCount(), 24);
  PlotsPresenter* plots = window->Presenter().plots();
  const std::string grid = (dir.path() / "grid.geojson").string(), saved = (dir.path() / "viewer.csv").string();
  const std::string command = (dir.path() / "command.csv").string();
  ASSERT_FALSE(plots->SaveGrid(grid).has_value());
  ASSERT_FALSE(plots->SaveTable(saved).has_value());
  const test::ProgramRun cli = test::RunProgram(
      {TALORAN_CLI_PATH, "plots", "--no-progress", "--plots", grid, "-o", command, dir.path().string()});
  EXPECT_EQ(cli.code, 0) << cli.err;
  EXPECT_EQ(test::FileText(saved), test::FileText(command));
  table->selectRow(4);
  EXPECT_EQ(plots->selected(), 4u);
  table->sortByColumn(4, Qt::DescendingOrder);  // by NDVI mean: the selection stays with its plot
  EXPECT_EQ(table->item(table->currentRow(), 0)->text(), "R01C05");
  EXPECT_GE(table->item(0, 4)->text().toDouble(), table->item(23, 4)->text().toDouble());
  table->clearSelection();
  table->selectRow(0), table->selectRow(1);
  table->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, table->columnCount() - 1), true);
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().count('\n'), 3);  // the header and the two rows
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith("Plot\tSource\tPixels\tCovered\tNDVI mean"));
  // On the map a screen reader finds each plot after the captures, named by its id and described by
  // its figures; Alt+arrows step among the plots as arrows among the captures.
  plots->Select(4);
  QAccessibleInterface* mapAccess = QAccessible::queryAccessibleInterface(map);
  const int drawnCaptures = static_cast<int>(map->drawn().size());
  ASSERT_EQ(mapAccess->childCount(), drawnCaptures + 24);
  QAccessibleInterface* fifth = mapAccess->child(drawnCaptures + 4);
  EXPECT_EQ(fifth->text(QAccessible::Name), "R01C05");
  EXPECT_TRUE(fifth->text(QAccessible::Description).startsWith("NDVI mean "))
      << fifth->text(QAccessible::Description).toStdString();
  EXPECT_TRUE(fifth->state().selected);
  QTest::keyClick(map, Qt::Key_Right, Qt::AltModifier);  // the next plot east: R01C06
  EXPECT_EQ(plots->selected(), 5u);
  QTest::keyClick(map, Qt::Key_Up, Qt::AltModifier);  // the next row north: R02C06
  EXPECT_EQ(plots->selected(), 11u);
  EXPECT_EQ(table->item(table->currentRow(), 0)->text(), "R02C06");  // the table follows
  EXPECT_TRUE(panel->grab().toImage().save(QString::fromStdString(Screenshot("plots-table.png").string())));
  panel->Tabs()->setCurrentIndex(0);
  QApplication::processEvents();
  const PlotGridLayout layout = *plots->grid();
  const GeoPoint middle = GridPlots(layout)[7].ring[0];  // R02C02's first corner, then into it a little
  const PlanePoint inside = LocalPlane(*window->Presenter().flightMap()->centre()).Forward(middle);
  const PlanePoint into = {inside.east + 0.5, inside.north + 0.5};
  EXPECT_EQ(plots->PlotAt(into), 7u);
  EXPECT_TRUE(plots->Reading(into).starts_with("R02C02: NDVI mean ")) << plots->Reading(into);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(panel->findChild<QLabel*>("plotReading"))->text(QAccessible::Name),
            "Plot reading");
  EXPECT_TRUE(panel->grab().toImage().save(QString::fromStdString(Screenshot("plots.png").string())));
  // The field map, made on the worker, under the footprints; the pointer reads it aloud.
  auto* status = panel->findChild<QLabel*>("fieldMapStatus");
  auto* shown = panel->findChild<QCheckBox*>("fieldMapShown");
  EXPECT_FALSE(shown->isEnabled());
  panel->findChild<QPushButton*>("makeFieldMap")->click();
  // Its worker is in the idle class: under a sanitizer on a busy machine the map takes its time.
  EXPECT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith("Field map of NDVI: 6 captures"); }, kSlowWork))
      << status->text().toStdString();
  EXPECT_TRUE(shown->isEnabled() && shown->isChecked());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return plotsStatus->text().contains("placed as the field map's refinement placed them"); }, kSlowWork))
      << plotsStatus->text().toStdString();
  const QPointF over = *map->PointOf(2);
  QMouseEvent move(QEvent::MouseMove, over, map->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(map, &move);
  auto* reading = panel->findChild<QLabel*>("fieldMapReading");
  EXPECT_TRUE(QTest::qWaitFor([&] { return reading->text().endsWith("from field_03.tif"); }, kPatience))
      << reading->text().toStdString();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(reading)->text(QAccessible::Name), "Field map reading");
  QApplication::processEvents();  // the status's second line laid out
  EXPECT_TRUE(panel->grab().toImage().save(QString::fromStdString(Screenshot("field-map.png").string())));
  panel->Tabs()->setCurrentIndex(1);
  EXPECT_EQ(panel->Verdict()->text().toStdString(), "Not OK to stitch: no position fix in field_07.tif");
  EXPECT_TRUE(panel->grab().toImage().save(QString::fromStdString(Screenshot("field-check.png").string())));
  QTest::keyClick(map, Qt::Key_M, Qt::ControlModifier);  // closes it from within, too
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(window->Presenter().settings().flightMapOpen);

  // A profile with a misspelt field: the map and the check say it is refused, and why.
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_widht_mm": 6.72, "sensor_height_mm": 3.795})";
  window->ToggleFlightMap();
  ASSERT_TRUE(panel->isVisible());
  const std::string refused = "Camera profile refused: " + (dir.path() / "camera.json").string() +
                              ": sensor_widht_mm: not a field of a camera profile";
  EXPECT_EQ(panel->Unplaced()->text().toStdString(), "Not on the map:\n" + refused + "\nfield_07.tif: no position fix");
  EXPECT_TRUE(panel->Report()->toPlainText().toStdString().starts_with(refused + "\n"));
  EXPECT_FALSE(map->flight().captures[0].footprint.has_value());
}

// ---- The picture as an instrument ---------------------------------------------------------------

struct PictureReadingTest : DesktopWindowTest {
  // A field with two known pixels: (20, 10) NIR 200 and red 20, (21, 10) black.
  std::string Capture() {
    CaptureImage image = FieldScene(1);
    const std::size_t at = 10 * std::size_t{kFrameWidth} + 20;  // file row 10 is picture line 10
    image.nir[at] = 200, image.red[at] = 20, image.green[at] = 7, image.blue[at] = 9;
    image.nir[at + 1] = image.red[at + 1] = image.green[at + 1] = image.blue[at + 1] = 0;
    return dir.Write("probe.tif", EncodeCapture(image, false)).string();
  }
  // The point of the picture control over the middle of frame pixel (x, y).
  QPointF Over(int x, int y) const {
    const PictureTransform& t = test::PictureOf(*window)->transform();
    const QPointF origin = test::PictureOf(*window)->contentsRect().topLeft();
    return origin + QPointF(t.ToAreaX(x + 0.5), t.ToAreaY(y + 0.5));
  }
  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, at, test::PictureOf(*window)->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, modifiers);
    QApplication::sendEvent(test::PictureOf(*window), &event);
  }
  void Wheel(QPointF at, int notches) {
    QWheelEvent event(at, test::PictureOf(*window)->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(test::PictureOf(*window), &event);
  }
  // The strip once `ready` holds for its text (it follows the pointer within a screen frame), or what
  // it reads when a loaded machine has not got there in the time a person would wait.
  std::string ProbeWhen(const std::function<bool(const std::string& text)>& ready) {
    (void)QTest::qWaitFor([&] { return ready(Strip(StatusStrip::kProbe)->text().toStdString()); }, kPatience);
    const QString description =
        QAccessible::queryAccessibleInterface(Strip(StatusStrip::kProbe))->text(QAccessible::Description);
    EXPECT_EQ(description, Strip(StatusStrip::kProbe)->text());  // what a screen reader hears
    return Strip(StatusStrip::kProbe)->text().toStdString();
  }
  void ExpectProbe(const std::string& expected) {
    EXPECT_EQ(ProbeWhen([&expected](const std::string& text) { return text == expected; }), expected);
  }
};

TEST_F(PictureReadingTest, TheProbeReadsThePixelUnderTheCursor) {
  dialogs.SetFiles([this] { return std::vector<std::string>{Capture()}; });
  test::Click(*window, kSearchFile);
  test::Click(*window, kViOut);
  Mouse(QEvent::MouseMove, Over(20, 10), Qt::NoButton);
  ExpectProbe("x 20 y 10 | R 20 G 7 B 9 NIR 200 | NDVI 0.8182 (display 180)");
  Mouse(QEvent::MouseMove, Over(21, 10), Qt::NoButton);
  ExpectProbe("x 21 y 10 | R 0 G 0 B 0 NIR 0 | NDVI undefined (display 128)");
  test::Click(*window, kRawNir);
  Mouse(QEvent::MouseMove, Over(20, 10), Qt::NoButton);
  ExpectProbe("x 20 y 10 | R 20 G 7 B 9 NIR 200 | grey 200");
  test::Click(*window, kViOut);
  Mouse(QEvent::MouseMove, Over(20, 10), Qt::NoButton);
  ExpectProbe("x 20 y 10 | R 20 G 7 B 9 NIR 200 | NDVI 0.8182 (display 180)");
  EXPECT_TRUE(window->grab().save(QString::fromStdString(Screenshot("probe-and-legend.png").string())));
  static_cast<QSlider*>(window->Control(kViSlider))->setValue(76);  // the colours no longer follow NDVI exactly
  QApplication::processEvents();
  EXPECT_TRUE(window->grab().save(QString::fromStdString(Screenshot("legend-values.png").string())));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(test::PictureOf(*window), &leave);
  EXPECT_EQ(Strip(StatusStrip::kProbe)->text(), "");
}

TEST_F(PictureReadingTest, ZoomKeepsThePixelUnderTheCursorAndTheViewAcrossCaptures) {
  OpenFolder();
  test::Click(*window, kViOut);
  CPictureCtrl* picture = test::PictureOf(*window);
  const QPointF at = Over(700, 300);
  const auto under = [&] {
    return picture->transform().PixelAt(at.x() - picture->contentsRect().x(), at.y() - picture->contentsRect().y());
  };
  const std::optional<FramePixel> before = under();
  EXPECT_EQ(Strip(StatusStrip::kZoom)->text(), "");  // at the fit the strip says nothing of zoom
  Wheel(at, 12);                                     // 1.25^12: about 14.6 times the fit
  EXPECT_GT(picture->transform().zoom(), 14);
  EXPECT_EQ(under(), before);
  EXPECT_EQ(Strip(StatusStrip::kZoom)->text(),
            QString("Zoom %1 %")
                .arg(std::lround(100 * std::max(picture->transform().scaleX(), picture->transform().scaleY()))));
  Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
  Mouse(QEvent::MouseMove, at + QPointF(-100000, -100000), Qt::LeftButton);  // drag far: stops at the frame's edge
  Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
  EXPECT_EQ(picture->transform().PixelAt(picture->contentsRect().width() - 0.5, picture->contentsRect().height() - 0.5),
            (FramePixel{1343, 758}));
  const double zoom = picture->transform().zoom();
  const double offset = picture->transform().offsetX();
  test::Click(*window, kNext);
  test::Click(*window, kEvi);
  EXPECT_EQ(picture->transform().zoom(), zoom);
  EXPECT_EQ(picture->transform().offsetX(), offset);
  Key(window->Control(kIdOk), Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(picture->transform().zoom(), 1.0);
  // 16 screen pixels a frame pixel over a crop row, as crisp blocks.
  test::Click(*window, kNdvi);
  Wheel(Over(420, 380), 1);
  while (std::max(picture->transform().scaleX(), picture->transform().scaleY()) < 16) Wheel(Over(420, 380), 1);
  EXPECT_TRUE(window->grab().save(QString::fromStdString(Screenshot("zoom-16x.png").string())));
}

TEST_F(PictureReadingTest, AreaStatisticsFollowTheSelectionAndTheView) {
  OpenFolder();
  test::Click(*window, kViOut);
  window->ToggleStatistics();
  StatisticsWindow& panel = *test::StatisticsOf(*window);
  ASSERT_TRUE(panel.isVisible());
  Mouse(QEvent::MouseButtonPress, Over(100, 100), Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseMove, Over(199, 149), Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseButtonRelease, Over(199, 149), Qt::NoButton, Qt::ShiftModifier);
  ASSERT_TRUE(test::PictureOf(*window)->selection());
  const FrameRect rect = *test::PictureOf(*window)->selection();
  EXPECT_EQ((std::array<int, 4>{rect.x, rect.y, rect.width, rect.height}), (std::array<int, 4>{100, 100, 100, 50}));
  panel.Wait();
  StatisticsWorkspace work;
  const IndexStatistics core = ComputeIndexStatistics((*frame), kIndexNdvi, 50, rect, work);
  ASSERT_TRUE(panel.figures());
  EXPECT_EQ(panel.figures()->statistics.valid, core.valid);
  EXPECT_EQ(panel.figures()->statistics.p50, core.p50);
  EXPECT_EQ(panel.Text().toStdString(), FiguresText(*panel.figures()));
  // Read out as a table of named figures, and the histogram in words.
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(panel.findChild<QTableWidget*>());
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->role(), QAccessible::Table);
  EXPECT_EQ(table->text(QAccessible::Name), "Figures");
  ASSERT_NE(table->tableInterface(), nullptr);
  EXPECT_EQ(table->tableInterface()->cellAt(12, 0)->text(QAccessible::Name), "NDVI p95");
  EXPECT_EQ(table->tableInterface()->cellAt(12, 1)->text(QAccessible::Name),
            QString::fromStdString(StatisticTexts(core)[7]));
  QWidget* histogram = nullptr;  // found by its name: the view has no meta-object of its own
  for (QWidget* w : panel.findChildren<QWidget*>()) histogram = w->accessibleName() == "Histogram" ? w : histogram;
  ASSERT_NE(histogram, nullptr);
  const QString summary = QAccessible::queryAccessibleInterface(histogram)->text(QAccessible::Description);
  EXPECT_TRUE(summary.startsWith("64 bins from -1 to 1; the fullest")) << summary.toStdString();
  test::Click(*window, kSipi);  // another index: the figures follow
  panel.Wait();
  EXPECT_EQ(panel.figures()->indexCode, kIndexSipi);
  EXPECT_EQ(panel.figures()->statistics.mean, ComputeIndexStatistics((*frame), kIndexSipi, 50, rect, work).mean);
  EXPECT_TRUE(panel.grab().save(QString::fromStdString(Screenshot("statistics.png").string())));
  Key(window->Control(kIdOk), Qt::Key_Escape);  // clears the area, closes nothing
  panel.Wait();
  EXPECT_FALSE(test::PictureOf(*window)->selection());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(panel.figures()->channels.pixels, kFramePixels);
  Key(window->Control(kIdOk), Qt::Key_I, Qt::ControlModifier);
  EXPECT_FALSE(panel.isVisible());
  EXPECT_FALSE(QSettings().value("viewer/statisticsOpen").toBool());
}

// The menu's calibration: a marked panel becomes the loaded calibration, named in the strip; the
// probe reads reflectances; the fixed scale (Ctrl+F) draws the picture and legend on its ramp.
TEST_F(PictureReadingTest, CalibrationFromTheMenu) {
  dialogs.SetFiles([this] { return std::vector<std::string>{Capture()}; });
  test::Click(*window, kSearchFile);
  test::Click(*window, kViOut);
  const auto action = [this](const QString& text) {
    const std::unique_ptr<QMenu> menu = window->ContextMenu();
    for (QAction* a : menu->actions()) {
      if (a->text() == text && a->isEnabled()) return a->trigger(), true;
    }
    return false;
  };
  EXPECT_FALSE(action("Calibrate from area..."));  // nothing marked
  Mouse(QEvent::MouseButtonPress, Over(100, 600), Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseMove, Over(109, 609), Qt::LeftButton, Qt::ShiftModifier);
  Mouse(QEvent::MouseButtonRelease, Over(109, 609), Qt::NoButton, Qt::ShiftModifier);
  dialogs.typed = {"0.5"};
  dialogs.jsonFile = (dir.path() / "cal.json").string();
  ASSERT_TRUE(action("Calibrate from area..."));
  EXPECT_EQ(Strip(StatusStrip::kCalibration)->text(), "Calibration: cal.json");
  Mouse(QEvent::MouseMove, Over(20, 10), Qt::NoButton);
  EXPECT_NE(
      ProbeWhen([](const std::string& text) { return text.find("| rho R ") != std::string::npos; }).find("| rho R "),
      std::string::npos);
  Key(window->Control(kIdOk), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(window->Presenter().settings().fixedScale);
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(test::PictureOf(*window))
                  ->text(QAccessible::Description)
                  .endsWith("NDVI, R-NIR, reflectance, fixed scale. Legend: 1.000; 0.750; 0.500; 0.250; 0.000; -0.250; "
                            "-0.500; -0.750; -1.000"));
  EXPECT_TRUE(window->grab().save(QString::fromStdString(Screenshot("fixed-scale.png").string())));
  ASSERT_TRUE(action("Clear calibration"));
  EXPECT_EQ(Strip(StatusStrip::kCalibration)->text(), "");
}

}  // namespace
}  // namespace taloran

// Four screens side by side, settings in a folder of the run's own.
int main(int argc, char** argv) {
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("taloran-desktop-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  const std::filesystem::path screens = home / "screens.json";
  std::ofstream(screens) << R"({"screens": [
      {"name": "full-hd", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96},
      {"name": "laptop", "x": 1920, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96},
      {"name": "hd", "x": 3286, "y": 0, "width": 1280, "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96},
      {"name": "qhd", "x": 4566, "y": 0, "width": 2560, "height": 1440, "logicalDpi": 96, "logicalBaseDpi": 96}]})";
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screens.c_str());
  qputenv("XDG_CONFIG_HOME", QByteArray(home.c_str()));
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Taloran-test");
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(home);
  return result;
}
