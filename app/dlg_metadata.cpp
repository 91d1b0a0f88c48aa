// The metadata panel: the camera record's 24 texts, and the readings that correction uses.
#include "app/dialog_ids.h"
#include "app/taloran_dlg.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/frame_store.h"

namespace taloran {

using namespace ids;

CameraPanel CTaloranDlg::StoreCorrectionLevels() {
  CameraPanel panel = DecodeCameraMetadata(frame_.metadata);
  IrradianceLevels = panel.irradianceLevels;
  AverageLevels = panel.averageLevels;
  return panel;
}

void CTaloranDlg::ShowCameraMetadata(const CameraPanel& panel) {
  for (std::size_t field = 0; field < kPanelFieldCount; ++field) {
    const int id = kPanelFields[field].control;
    view_.SetText(id, panel.texts[field]);
    // Shutter speed, camera gain and speed are set directly; their member strings stay as they are.
    if (id == 1042 || id == 1041 || id == 1050) continue;
    for (std::size_t i = 0; i < kMetadataEdits.size(); ++i) {
      if (kMetadataEdits[i] == id) MetadataTexts[i] = panel.texts[field];
    }
  }
  // The readings as read: a zero that correction raised to 1 is 0 again until it runs next.
  IrradianceLevels = panel.irradianceLevels;
  AverageLevels = panel.averageLevels;
}

}  // namespace taloran
