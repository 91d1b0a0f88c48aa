// The export dialog: the folder, layout, sample format, compression and camera profile of an export,
// as taloran-cli export takes them.
#pragma once

#include <optional>

#include "app/export_view.h"

class QWidget;

namespace taloran {

// Asks for an export's settings, `suggested` filled in; nothing when cancelled.
std::optional<ExportChoice> AskExportChoice(QWidget* parent, const ExportChoice& suggested, bool folder);

}  // namespace taloran
