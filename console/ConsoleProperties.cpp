// The camera property panel: the eleven property combos and the save-to-camera check box. The combos hold
// the whole state; the camera's reports fill them and a selection made by the user goes back to the camera.
#include "console/CameraConsoleDlg.h"

#include "console/PropertyBindings.h"
#include "console/TypedValueGuard.h"
#include "control/PropertyCodes.h"

#include <QComboBox>

using quor::console::BindingForCode;
using quor::console::BindingForCombo;
using quor::console::KeywordRule;
using quor::console::PropertyBinding;

void CCameraConsoleDlg::OnPropertyValueChanged(std::int32_t code, const std::string& text) {
    const PropertyBinding* row = BindingForCode(code);
    if (!row)
        return;
    // Shows the text without selecting an item, so nothing goes back to the camera.
    if (QComboBox* combo = ComboAt(row->comboId)) {
        combo->setEditText(QString::fromStdString(text));
        if (typedValues_)
            typedValues_->Reported(combo, combo->currentText());
    }
    ApplyKeywordRule(*row, text);
}

void CCameraConsoleDlg::ApplyKeywordRule(const PropertyBinding& row, const std::string& text) {
    if (row.rule == KeywordRule::None || !row.keyword)
        return;
    // The text as reported, compared whole and byte for byte.
    const bool match = text == row.keyword;
    switch (row.rule) {
    case KeywordRule::ContinuousGate:
        EnableItem(1029, match);
        break;
    case KeywordRule::BulbGate:
        EnableItem(1032, match);
        break;
    case KeywordRule::AfPossible:
        state_.afPossible = match ? 0 : 1;
        SetFocusButtons(state_.afPossible != 0 && state_.liveViewOn != 0);
        break;
    case KeywordRule::AfPointGate:
        EnableItem(1054, match);
        EnableItem(1055, match);
        break;
    case KeywordRule::None:
        break;
    }
}

void CCameraConsoleDlg::OnPropertyOptionAdded(std::int32_t code, const std::string& text, std::int32_t value,
                                              bool enable) {
    const PropertyBinding* row = BindingForCode(code);
    if (!row)
        return;
    EnableItem(row->comboId, enable);
    QComboBox* combo = ComboAt(row->comboId);
    if (!enable || !combo)
        return;
    // Appended in arrival order, whatever the sorted style says. The list would select its first item by
    // itself; the selection and the edit text stay as they were.
    const int selected = combo->currentIndex();
    const QString editText = combo->currentText();
    const int before = combo->count();
    combo->insertItem(before, QString::fromStdString(text));
    if (combo->count() == before + 1)
        combo->setItemData(before, QVariant(value));
    if (combo->currentIndex() != selected)
        combo->setCurrentIndex(selected);
    if (combo->currentText() != editText)
        combo->setEditText(editText);
}

void CCameraConsoleDlg::OnPropertySelChange(int comboId) {
    const PropertyBinding* row = BindingForCombo(comboId);
    const QComboBox* combo = ComboAt(comboId);
    if (!row || !combo)
        return;
    const int index = combo->currentIndex();
    const QVariant data = index >= 0 ? combo->itemData(index) : QVariant();
    const std::int32_t value = data.isValid() ? data.toInt() : -1;
    ctrl_.SetPropertyValue(row->code, value);
}

void CCameraConsoleDlg::OnResetPropertyDesc(std::int32_t code) {
    const PropertyBinding* row = BindingForCode(code);
    if (!row)
        return;
    if (QComboBox* combo = ComboAt(row->comboId)) {
        const QString kept = combo->currentText();
        ClearCombo(row->comboId);
        combo->setEditText(kept);
    }
    EnableItem(row->comboId, false);
}

void CCameraConsoleDlg::OnSaveToCameraClicked() {
    ctrl_.SetPropertyValue(quor::prop::SaveTo, IsChecked(1036) ? quor::prop::SaveToCamera : quor::prop::SaveToComputer);
}
