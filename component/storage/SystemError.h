// The system's reason for a failed file operation, in the program's language.
#pragma once

#include <QString>

namespace quor::component::storage {

// The usual reasons a photo cannot be written (a full disk, no permission, a read-only stick) come from the
// program's own catalogue, so that a message reads in one language whatever the system's locale; any other
// errno is told as the system words it.
QString SystemErrorText(int err);

} // namespace quor::component::storage
