#include "console/WideComboBox.h"

#include <QAbstractItemView>
#include <QStyle>

#include <algorithm>

namespace quor::console {

int WideComboBox::PopupWidth() const {
    const QAbstractItemView* list = view();
    int needed = list->sizeHintForColumn(0) + 2 * list->frameWidth() + 8;
    if (count() > maxVisibleItems())
        needed += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    return std::max(width(), needed);
}

void WideComboBox::showPopup() {
    view()->setMinimumWidth(PopupWidth());
    QComboBox::showPopup();
}

} // namespace quor::console
