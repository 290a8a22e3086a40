// Text the component tells its user, made safe: paths from the environment and names from a camera may hold
// control characters, which must neither reach a terminal nor be drawn as nothing in the view.
#pragma once

#include <QString>

namespace quor::component {

// `text` with every control character (C0, DEL, C1) written as \xNN or \u{NNNN}.
QString Printable(const QString& text);

// Writes "QuorCtrl: <text>" and a new line to stderr, escaped.
void PrintToStderr(const QString& text);

} // namespace quor::component
