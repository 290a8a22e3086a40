// Control operations by identifier, and the list helpers the handlers share.
#include "console/CameraConsoleDlg.h"

#include "console/ControlTable.h"
#include "console/EditInt.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCollator>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace {

// Sets a check state directly; unchecking the checked member of an exclusive set is otherwise refused.
void SetCheckState(QAbstractButton* button, bool checked) {
    QButtonGroup* set = button->group();
    const bool reopen = set && set->exclusive() && !checked;
    if (reopen)
        set->setExclusive(false);
    button->setChecked(checked);
    if (reopen)
        set->setExclusive(true);
}

} // namespace

QWidget* CCameraConsoleDlg::GetDlgItem(int id) const {
    if (id < quor::console::kFirstControlId || id > quor::console::kLastControlId)
        return nullptr;
    return items_[static_cast<std::size_t>(id - quor::console::kFirstControlId)];
}

int CCameraConsoleDlg::DlgItemId(const QWidget* widget) const {
    if (!widget)
        return 0;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == widget)
            return quor::console::kFirstControlId + static_cast<int>(i);
    return 0;
}

void CCameraConsoleDlg::EnableItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id))
        w->setEnabled(enable);
}

bool CCameraConsoleDlg::IsItemEnabled(int id) const {
    const QWidget* w = GetDlgItem(id);
    return w && w->isEnabled();
}

void CCameraConsoleDlg::SetItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (!w)
        return;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // The line edit stays silent when the text does not change; the write still counts as a change.
        if (edit->text() == text)
            NotifyEditChange(id);
        else
            edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        box->setTitle(text);
    }
}

QString CCameraConsoleDlg::GetItemText(int id) const {
    const QWidget* w = GetDlgItem(id);
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentText();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* box = qobject_cast<const QGroupBox*>(w))
        return box->title();
    return QString();
}

QAbstractButton* CCameraConsoleDlg::ButtonAt(int id) const { return qobject_cast<QAbstractButton*>(GetDlgItem(id)); }

bool CCameraConsoleDlg::IsChecked(int id) const {
    const QAbstractButton* button = ButtonAt(id);
    return button && button->isChecked();
}

int CCameraConsoleDlg::ValueOfCheckedRadio(std::initializer_list<std::pair<int, int>> radios, int otherwise) const {
    for (const auto& [id, value] : radios)
        if (IsChecked(id))
            return value;
    return otherwise;
}

void CCameraConsoleDlg::CheckItem(int id, bool checked) {
    if (QAbstractButton* button = ButtonAt(id); button && button->isCheckable())
        SetCheckState(button, checked);
}

void CCameraConsoleDlg::CheckRadioButton(int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        if (id != checkId)
            CheckItem(id, false);
    if (checkId >= firstId && checkId <= lastId)
        CheckItem(checkId, true);
}

std::int32_t CCameraConsoleDlg::GetItemInt(int id) const {
    return quor::console::ReadEditInt(GetItemText(id).toStdString());
}

void CCameraConsoleDlg::SetItemInt(int id, std::int32_t value) { SetItemText(id, QString::number(value)); }

QComboBox* CCameraConsoleDlg::ComboAt(int id) const { return qobject_cast<QComboBox*>(GetDlgItem(id)); }

void CCameraConsoleDlg::ClearCombo(int id) {
    if (QComboBox* combo = ComboAt(id)) {
        combo->clear();
        if (combo->isEditable())
            combo->clearEditText();
    }
}

void CCameraConsoleDlg::AddSortedItem(int id, const QString& text, std::int32_t value) {
    QComboBox* combo = ComboAt(id);
    if (!combo)
        return;
    // Chinese collation orders captions by their reading (pinyin), as the list's sorted style does.
    static const QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    int at = 0;
    while (at < combo->count() && collator.compare(combo->itemText(at), text) <= 0)
        ++at;
    combo->insertItem(at, text, QVariant(value));
}
