// The console's dialog template: every control, label and group box in creation (and tab) order.
#pragma once

#include <cstdint>
#include <span>

namespace quor::console {

enum class ControlKind : std::uint8_t {
    GroupBox,
    Label,
    PushButton,
    CheckBox,
    RadioButton,
    ComboBox, // drop-down list; with kEditable it has an edit field
    Edit,
    Trackbar,
    ProgressBar,
    HostedView, // the camera component's view
};

// Style bits of a template entry.
enum ControlStyle : std::uint32_t {
    kNoStyle = 0,
    kEditable = 1u << 0,   // combo box with an edit field
    kSorted = 1u << 1,     // list keeps its items sorted
    kReadOnly = 1u << 2,   // edit field the user cannot change
    kRightAlign = 1u << 3, // label text aligned right
    kBorder = 1u << 4,     // drawn with a border
    kNoTicks = 1u << 5,    // trackbar without tick marks
};

struct ControlDef {
    int id; // 0 for labels and group boxes without identifier
    ControlKind kind;
    const char* caption; // UTF-8, as written (the source text of its translation)
    int x, y, cx, cy;    // dialog units
    bool hidden;
    bool groupStart; // first radio button of an exclusive set
    std::uint32_t style;
};

// The whole template, in creation order.
std::span<const ControlDef> ControlTable();

// The entry of identifier `id`, or nullptr when the template has none.
const ControlDef* FindControlDef(int id);

// Size of the console's client area in dialog units.
inline constexpr int kDialogWidthDu = 529;
inline constexpr int kDialogHeightDu = 354;

// Identifiers run from kFirstControlId to kLastControlId.
inline constexpr int kFirstControlId = 1000;
inline constexpr int kLastControlId = 1074;

} // namespace quor::console
