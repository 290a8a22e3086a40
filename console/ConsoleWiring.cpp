// Control notifications, connected to their handlers by identifier.
#include "console/CameraConsoleDlg.h"

#include "console/ControlTable.h"
#include "console/PropertyBindings.h"
#include "control/DeviceChange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

void CCameraConsoleDlg::OnClicked(int id, void (CCameraConsoleDlg::*handler)(), const char* what) {
    if (QAbstractButton* button = ButtonAt(id))
        connect(button, &QAbstractButton::clicked, this, [this, handler, what] { Guard(what, [&] { (this->*handler)(); }); });
}

void CCameraConsoleDlg::WireControls() {
    OnClicked(1001, &CCameraConsoleDlg::OnOpenCloseClicked, "open/close camera");
    OnClicked(1036, &CCameraConsoleDlg::OnSaveToCameraClicked, "save to camera");

    // A selection made in the list (mouse or keyboard), never a change made by the program.
    for (const quor::console::PropertyBinding& row : quor::console::kPropertyBindings) {
        if (QComboBox* combo = ComboAt(row.comboId)) {
            connect(combo, &QComboBox::activated, this,
                    [this, id = row.comboId](int) { Guard("property selection", [this, id] { OnPropertySelChange(id); }); });
        }
    }

    // Every edit field reports its changes; OnEditChanged picks the fields that have a handler.
    for (const quor::console::ControlDef& def : quor::console::ControlTable()) {
        if (def.kind != quor::console::ControlKind::Edit)
            continue;
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(def.id)))
            connect(edit, &QLineEdit::textChanged, this, [this, id = def.id] { NotifyEditChange(id); });
    }

    connect(&quor::DeviceChangeNotifier::Instance(), &quor::DeviceChangeNotifier::deviceChanged, this,
            [this] { Guard("device change", [this] { OnDeviceChange(); }); });
}

void CCameraConsoleDlg::NotifyEditChange(int id) {
    Guard("edit change", [this, id] { OnEditChanged(id); });
}

void CCameraConsoleDlg::OnEditChanged(int id) {
    switch (id) {
    case 1065:
        OnOnionSkinLayersChanged();
        break;
    default:
        break;
    }
}
