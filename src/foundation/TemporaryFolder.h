#pragma once
// The folder of this process's temporary files ("/tmp/squareimage.jpg" and
// the like keep their names inside it). It is made once, on first use, with
// a unique name and mode 0700 in temporaryBase() (the service's runtime
// folder, $XDG_RUNTIME_DIR, $TMPDIR or /tmp), so two kiosks, or another
// user, never share or pre-empt its files. It is removed with its files
// when the process that made it exits normally.

#include <string>

namespace klik {

// The folder, made when first asked for. "" when none could be made (the
// reason is written as a diagnostic). Any thread.
std::string temporaryFolder();

}  // namespace klik
