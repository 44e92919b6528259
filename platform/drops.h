#pragma once

// Drop handles for the back ends and engines that deliver dropped files: the handle holds
// the list of paths that DragQueryFileW reads. Not part of the Win32 subset.

#include "platform/win32.h"

#include <string>
#include <vector>

namespace platform {

// A new drop handle for the paths, in order; DragFinish releases it.
HDROP CreateDrop(const std::vector<std::u16string>& paths);
// Whether the window takes dropped files (DragAcceptFiles).
bool AcceptsFiles(HWND window);

}  // namespace platform
