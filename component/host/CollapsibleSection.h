// A part of a dialog that opens and closes under its title: an arrow button, and below it the widgets shown only
// while it is open. It starts closed; whatever it holds goes into body()'s layout.
#pragma once

#include <QWidget>

class QToolButton;
class QVBoxLayout;

namespace quor::component {

class CollapsibleSection : public QWidget {
    Q_OBJECT
public:
    CollapsibleSection(const QString& title, QWidget* parent);

    QToolButton* toggle() const { return toggle_; }
    QWidget* body() const { return body_; }
    QVBoxLayout* bodyLayout() const { return bodyLayout_; }
    bool isOpen() const;
    void setOpen(bool open);

private:
    QToolButton* toggle_;
    QWidget* body_;
    QVBoxLayout* bodyLayout_;
};

} // namespace quor::component
