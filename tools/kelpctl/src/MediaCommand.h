// kelpctl media: the product catalogue of the registered installation medium.
#pragma once

#include "Report.h"

namespace kelpctl {

// The medium is the one C:\tftp.ini registers (the parent of its [Parameters] File Path, the
// netboot folder), as kelpftpd serves it; its catalogue is built as the setup tool builds it.
// 0, or 1 when no medium is registered or the catalogue cannot be built.
int RunMedia(Report& report);

}  // namespace kelpctl
