#include "component/host/CollapsibleSection.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quor::component {

CollapsibleSection::CollapsibleSection(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    toggle_ = new QToolButton(this);
    toggle_->setText(title);
    toggle_->setCheckable(true);
    toggle_->setAutoRaise(true);
    toggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle_->setArrowType(Qt::RightArrow);
    layout->addWidget(toggle_);
    body_ = new QWidget(this);
    bodyLayout_ = new QVBoxLayout(body_);
    // The contents sit under the title, indented by the arrow's width.
    bodyLayout_->setContentsMargins(toggle_->iconSize().width() + 4, 0, 0, 0);
    layout->addWidget(body_);
    body_->hide();
    connect(toggle_, &QToolButton::toggled, this, [this](bool open) {
        toggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        body_->setVisible(open);
    });
}

bool CollapsibleSection::isOpen() const { return toggle_->isChecked(); }

void CollapsibleSection::setOpen(bool open) { toggle_->setChecked(open); }

} // namespace quor::component
