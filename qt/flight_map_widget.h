// The flight map drawn: north up, metres on the flight's local plane, footprints, gaps, the track,
// the captures as points (coloured by value where asked), the shown one ringed, a scale bar and
// the legend. The wheel zooms about the cursor, a drag pans, a double-click fits; arrows move the
// keyboard's capture to the nearest in their direction and Enter opens it. Plots lie over it in
// their colours, a click or Alt+arrows choose one, and a laid-out grid's handles drag. For a screen
// reader the map is "Flight map", each drawn capture a child named after its file and each plot one
// named after its id, its figures its description.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "app/flight_map_presenter.h"
#include "app/plots_view.h"

namespace taloran {

class FlightMapWidget : public QWidget {
 public:
  explicit FlightMapWidget(QWidget* parent);
  // What the map asks of its presenter: the hover text of a capture, and its neighbour in a direction.
  void Ask(std::function<std::string(std::size_t)> hoverText,
           std::function<std::optional<std::size_t>(std::size_t, MapDirection)> neighbour) {
    hoverText_ = std::move(hoverText), neighbour_ = std::move(neighbour);
  }
  void SetFlight(const FlightMap& map);
  void SetHighlight(std::optional<std::size_t> capture);
  void SetColours(const std::optional<MapColours>& colours);
  // The field map under the footprints, shown where `ShowFieldMapLayer` leaves it on.
  void SetFieldMap(const std::optional<FieldMapPicture>& picture);
  void ShowFieldMapLayer(bool on);
  // The plots over the map in their colours, the selected one outlined, the grid's handles.
  void SetPlots(const std::optional<PlotsOnMap>& plots);
  void SetPlotSelection(std::optional<std::size_t> plot);
  // What the map asks of the plots' presenter: a plot's neighbour in a direction (Alt+arrows), and
  // whom to tell of the plot the keyboard chose.
  void AskPlots(std::function<std::optional<std::size_t>(std::size_t, MapDirection)> neighbour,
                std::function<void(std::size_t)> chosen) {
    plotNeighbour_ = std::move(neighbour), plotChosen_ = std::move(chosen);
  }
  const std::optional<PlotsOnMap>& plots() const { return plots_; }
  std::optional<std::size_t> selectedPlot() const { return plotSelected_; }
  // Plot `k`'s outline on the screen (its rings' bounds); empty where it has none.
  QRect PlotScreenRect(std::size_t k) const;
  // Bumped whenever the plots are set again, so that their accessible children are made anew.
  unsigned plotsGeneration() const { return plotsGeneration_; }
  // Called with the plane point of a click on no capture (a plot there is chosen).
  void OnPlaneClick(std::function<void(PlanePoint)> click) { planeClick_ = std::move(click); }
  // Called when a grid handle is dropped at a plane point: handle 0 (the first corner, a square)
  // moves, 2 (the far corner, a diamond) sizes, 3 (the last row's first corner, a circle) turns,
  // 4 and 5 (the middles of the far sides across and along the rows, small diamonds) size the
  // plots' width and length.
  void OnHandleDrop(std::function<void(int handle, PlanePoint to)> drop) { handleDrop_ = std::move(drop); }
  // Called with the plane point under the pointer as it moves; nothing when it leaves the map.
  void OnPointer(std::function<void(std::optional<PlanePoint>)> pointer) { pointer_ = std::move(pointer); }
  // Called with a capture the person clicked or chose with Enter.
  void OnOpen(std::function<void(std::size_t)> open) { open_ = std::move(open); }
  // Where capture `i` is drawn, in the widget's pixels; nothing for one not drawn.
  std::optional<QPointF> PointOf(std::size_t i) const;
  std::optional<std::size_t> keyboardCapture() const { return keyboard_; }
  // The capture the window shows, ringed in red.
  std::optional<std::size_t> shownCapture() const { return highlight_; }
  // The captures drawn (those with a position), in flight order, and a capture's place among them.
  const std::vector<std::size_t>& drawn() const { return drawn_; }
  std::optional<int> DrawnIndex(std::size_t capture) const;
  const FlightMap& flight() const { return map_; }
  void Fit();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPointF ToWidget(PlanePoint p) const;
  PlanePoint ToPlane(QPointF p) const;
  std::optional<std::size_t> CaptureAt(QPointF p) const;
  void MoveKeyboard(std::size_t to);
  // What changes with the flight, its colours and the view, not with the shown capture: painted into
  // layer_ when it is stale, so that a step repaints a copy of it and two rings. The footprints,
  // gaps and track (base_) stay when only the colours change, as they do during a colour pass.
  void PaintLayer();
  void PaintBase();
  void Restale(bool coloursOnly = false);
  void PaintScaleBar(class QPainter& painter) const;
  void PaintLegend(class QPainter& painter) const;

  std::function<std::string(std::size_t)> hoverText_;
  std::function<std::optional<std::size_t>(std::size_t, MapDirection)> neighbour_;
  FlightMap map_;
  std::vector<std::size_t> drawn_;
  std::optional<std::size_t> highlight_, keyboard_;
  std::optional<MapColours> colours_;
  std::function<void(std::size_t)> open_;
  std::function<void(std::optional<PlanePoint>)> pointer_;
  std::optional<FieldMapPicture> fieldMap_;
  QImage fieldImage_;  // wraps the picture's pixels, which fieldMap_ keeps
  bool fieldMapShown_ = true;
  double scale_ = 1;         // pixels per metre
  PlanePoint centre_{0, 0};  // the plane point at the widget's centre
  bool fitted_ = false;
  QImage base_, layer_;
  bool baseStale_ = true, layerStale_ = true;
  std::optional<QPointF> pressedAt_;
  bool dragged_ = false;
  std::optional<PlotsOnMap> plots_;
  std::optional<std::size_t> plotSelected_;
  std::function<void(PlanePoint)> planeClick_;
  std::function<void(int, PlanePoint)> handleDrop_;
  std::function<std::optional<std::size_t>(std::size_t, MapDirection)> plotNeighbour_;
  std::function<void(std::size_t)> plotChosen_;
  unsigned plotsGeneration_ = 0;
  std::optional<int> handle_;        // the grid handle being dragged
  std::optional<QPointF> handleAt_;  // where it is dragged to
  std::optional<int> HandleAt(QPointF p) const;
  void PaintPlots(class QPainter& painter) const;
};

}  // namespace taloran
