// The metadata panel: the camera record's 24 texts, and the readings that correction uses.
#include <string_view>

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
    for (std::size_t i = 0; i < kMetadataEdits.size(); ++i) {
      const MetadataEdit& edit = kMetadataEdits[i];
      if (std::string_view(edit.field) != kPanelFields[field].key) continue;
      view_.SetText(edit.id, panel.texts[field]);
      if (!edit.setDirectly) MetadataTexts[i] = panel.texts[field];
    }
  }
  // The readings as read: a zero that correction raised to 1 is 0 again until it runs next.
  IrradianceLevels = panel.irradianceLevels;
  AverageLevels = panel.averageLevels;
}

}  // namespace taloran
