// A drop-down list whose popup is as wide as its longest item, whatever the width of the list itself: the
// console's lists are narrow, the names in them (cameras, drive modes) are not.
#pragma once

#include <QComboBox>

namespace quor::console {

class WideComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    // The width the popup takes for the items it holds now: the longest item, the frame, and the scroll bar
    // where the list scrolls; never narrower than the list.
    int PopupWidth() const;
    void showPopup() override;
};

} // namespace quor::console
