#include "console/TypedValueGuard.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QStringList>

#include <utility>

namespace quor::console {
namespace {

// A list this long is named whole; a longer one by its first and last values and its length.
constexpr int kNamedWhole = 8;

} // namespace

TypedValueGuard::TypedValueGuard(std::function<void(const QString&)> tell, QObject* parent)
    : QObject(parent), tell_(std::move(tell)) {}

void TypedValueGuard::Watch(QComboBox* combo) {
    shown_.insert(combo, {});
    combo->installEventFilter(this);
    connect(combo, &QComboBox::activated, this, [this, combo](int index) {
        shown_[combo].chosen = combo->itemText(index);
    });
    connect(combo, &QObject::destroyed, this, [this, combo] { shown_.remove(combo); });
}

void TypedValueGuard::Reported(QComboBox* combo, const QString& text) {
    auto it = shown_.find(combo);
    if (it == shown_.end())
        return;
    it->reported = text;
    it->chosen.clear();
}

bool TypedValueGuard::eventFilter(QObject* watched, QEvent* event) {
    // The list's own popup takes the focus for a moment; that is not leaving the field.
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (auto* combo = qobject_cast<QComboBox*>(watched); combo && shown_.contains(combo))
            Left(combo);
    }
    return QObject::eventFilter(watched, event);
}

void TypedValueGuard::Left(QComboBox* combo) {
    const Shown& shown = shown_[combo];
    const QString text = combo->currentText();
    if (!combo->isEditable() || text == shown.reported || (!shown.chosen.isNull() && text == shown.chosen))
        return;
    combo->setEditText(shown.reported);
    if (tell_)
        tell_(Explain(text, shown.reported, *combo));
}

QString TypedValueGuard::Explain(const QString& typed, const QString& reported, const QComboBox& combo) {
    QString offered;
    const int n = combo.count();
    if (n == 0) {
        offered = tr("相机此时没有提供可选值");
    } else if (n <= kNamedWhole) {
        QStringList all;
        for (int i = 0; i < n; ++i)
            all << combo.itemText(i);
        offered = tr("可选：%1").arg(all.join(QStringLiteral(", ")));
    } else {
        const QString first =
            QStringList{combo.itemText(0), combo.itemText(1), combo.itemText(2)}.join(QStringLiteral(", "));
        const QString last = combo.itemText(n - 2) + QStringLiteral(", ") + combo.itemText(n - 1);
        offered = tr("可选：%1 … %2（共 %3 个）").arg(first, last).arg(n);
    }
    const QString kept = reported.isEmpty() ? tr("“%1”未被采用：输入的值不会发给相机。").arg(typed)
                                            : tr("“%1”未被采用，仍为 %2：输入的值不会发给相机。").arg(typed, reported);
    return kept + tr("只有从列表中选择才会改变设置。") + offered;
}

} // namespace quor::console
