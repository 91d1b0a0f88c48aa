// The main window: template 102 built as Qt widgets, one per row of the template table, at the
// pixel positions its dialog units give, with a status strip below. It is passive: every click,
// slider move, key and drop goes to the DesktopPresenter and CTaloranDlg, which answer through
// the DialogView and DesktopView calls below. The controls follow a resize by their anchors. Its
// parts are widgets and objects of their own: the picture (CPictureCtrl), the StatusStrip, the
// WindowKeys, the WindowPrompts of calibration and export, the statistics window and the flight map.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/desktop_presenter.h"
#include "app/desktop_view.h"
#include "app/dialog_view.h"
#include "app/picture_readings.h"
#include "core/capture/folder_listing.h"
#include "qt/dialog_units.h"
#include "qt/modal_dialogs.h"
#include "res/dialog_templates.h"

class QAbstractButton;
class QLabel;
class QMenu;
class QProgressDialog;
class QTimer;
class QScreen;
class QSettings;
class QSlider;

namespace taloran {

class CTaloranDlg;
class CPictureCtrl;
class StatisticsWindow;
class StatusStrip;
class WindowKeys;
class WindowPrompts;
class FlightMapPanel;

class TaloranWindow : public QDialog, public DialogView, public DesktopView {
 public:
  // Asks the person through `dialogs`, or through Qt's own dialogs where it is null.
  explicit TaloranWindow(ModalDialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~TaloranWindow() override;

  // The dialog that handles this window's controls; set once, before it is shown. The desktop
  // presenter is made here, with the settings remembered from the last run.
  void Attach(CTaloranDlg* dialog);
  DesktopPresenter& Presenter() const { return *presenter_; }

  QWidget* Control(int id) const;
  // The object names of the picture, the statistics window and the flight map panel.
  static constexpr const char* kPictureName = "picture";
  static constexpr const char* kStatisticsName = "statistics";
  static constexpr const char* kFlightMapName = "flightMap";
  // Opens or closes the statistics window (Ctrl+I), and remembers which.
  void ToggleStatistics();
  // Opens or closes the flight map panel (Ctrl+M), and remembers which.
  void ToggleFlightMap();

  // Opens on `screen`: at the remembered geometry where that is still on a screen, else fitted to
  // the screen's free area (FitTo) and centred on it.
  void PlaceOnScreen(QScreen* screen);
  // The largest dialog font whose smallest layout fits `available` (frame included), and the
  // template size cut to it, centred there.
  void FitTo(const QRect& available);

  // The context menu as it would open now (for the tests: its actions, by text).
  std::unique_ptr<QMenu> ContextMenu();

  // DialogView
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void Enable(int id, bool enabled) override;
  void SetText(int id, const std::string& text) override;
  std::string Text(int id) const override;
  void SetSliderRange(int id, int min, int max, bool redraw) override;
  void SetSliderPos(int id, int position, bool redraw) override;
  int SliderPos(int id) const override;
  void AppendMenuItem(int command, const std::string& text) override;
  void MessageBox(const std::string& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void ShowAbout() override;
  std::vector<std::string> ChooseFiles(const std::string& description, const std::string& pattern) override;
  std::optional<std::string> FindFileName(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) override;
  bool LoadPicture(const BmpBuffer& bmp, int size) override;

  // DesktopView
  void SetTitle(const std::string& title) override;
  void ShowStatusMessage(const std::string& text) override;
  void ShowDecimalPosition(const std::string& latitude, const std::string& longitude) override;
  void CopyPictureToClipboard() override;
  void CopyTextToClipboard(const std::string& text) override;
  std::optional<std::string> ChooseSavePath(const std::string& suggested) override;
  void ShowShortcuts(const std::vector<std::pair<std::string, std::string>>& lines) override;
  void SaveSettings(const DesktopSettings& settings) override;
  void PictureChanged() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void accept() override;
  void done(int result) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ShowStatistics();  // beside the window where the screen has room
  void Build();
  void BuildReadings();
  void AddPictureMenuItems(QMenu& menu);
  ShownView CurrentView() const;
  void ShowProbe();
  void ShowLegend(std::optional<Legend> legend, const QString& view);
  // Before any control exists: the interfaces of the picture and the radios (made on first use).
  static void InstallAccessibility();
  void NameForAccessibility();
  void ApplyFont(double points);
  void Relayout();
  bool RunKey(DesktopCommand command);
  QAbstractButton* Button(int id) const;
  QSlider* Slider(int id) const;

  CTaloranDlg* dialog_ = nullptr;
  std::unique_ptr<WindowPrompts> prompts_;  // calibration's and export's questions: outlives the presenter
  std::unique_ptr<DesktopPresenter> presenter_;
  std::unique_ptr<QSettings> settings_;
  std::map<int, QWidget*> controls_;
  std::vector<std::pair<const res::ControlTemplate*, QWidget*>> widgets_;  // every template row
  CPictureCtrl* picture_ = nullptr;
  WindowKeys* keys_ = nullptr;  // the window's child
  bool shownOnce_ = false;
  StatusStrip* strip_ = nullptr;
  QTimer* probeTimer_ = nullptr;
  QTimer* legendTimer_ = nullptr;  // EVI's and SIPI's legend values, once the picture settles                      //
                                   // the strip follows the pointer once a frame
  std::optional<std::optional<FramePixel>> probeAt_;  // a pixel (or none) not shown yet
  StatisticsWindow* statistics_ = nullptr;
  FlightMapPanel* flightMap_ = nullptr;
  TemplateSizes sizes_;
  DialogBase base_;
  std::vector<std::pair<int, std::string>> menuItems_;
  QtModalDialogs qtDialogs_;
  ModalDialogs& dialogs_;       // qtDialogs_ unless others were handed in
  FolderListingCache listing_;  // Previous, Next and the title list the folder at every step
};

}  // namespace taloran
