// Text the component tells its user, made safe: paths from the environment and names from a camera may hold
// control characters, which must neither reach a terminal nor be drawn as nothing in the view.
#pragma once

#include <QString>

namespace quor::component {

// `text` with every control character (C0, DEL, C1) written as \xNN or \u{NNNN}.
QString Printable(const QString& text);

// Writes "QuorCtrl: <text>" and a new line to stderr, escaped.
void PrintToStderr(const QString& text);

// Whether the camera's card still holds a photo that never reached the computer: the body was saving to its card
// too, it was not (the photo is gone), or the component cannot tell.
enum class CardCopy { Kept, None, Unknown };

// What the user reads when a photo is lost on its way to the computer, whatever lost it (a camera gone in the
// middle of its download, a file that could be saved nowhere): the loss and where the rest is, then `reason`.
QString PhotoLostText(CardCopy copy, const QString& reason);

} // namespace quor::component
