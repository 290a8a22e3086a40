// Keeps the property lists' edit fields honest. Text typed into one is never sent to the camera (only a choice
// from the list is), so when the field loses the focus showing a text that is neither the value the camera last
// reported nor the item just chosen, the text goes back to the camera's value and the user is told, once, which
// values the camera offers.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QComboBox;

namespace quor::console {

class TypedValueGuard : public QObject {
    Q_OBJECT
public:
    // `tell` shows a notice to the user.
    explicit TypedValueGuard(std::function<void(const QString&)> tell, QObject* parent = nullptr);

    void Watch(QComboBox* combo);
    // The camera reported `text` for the property `combo` shows (empty: the list was emptied).
    void Reported(QComboBox* combo, const QString& text);

    // The sentence shown for `typed`, with `reported` kept and the list's items offered.
    static QString Explain(const QString& typed, const QString& reported, const QComboBox& combo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Left(QComboBox* combo);

    std::function<void(const QString&)> tell_;
    struct Shown {
        QString reported; // the camera's value as last reported
        QString chosen;   // the item chosen since then, waiting for the camera's answer
    };
    QHash<const QComboBox*, Shown> shown_;
};

} // namespace quor::console
