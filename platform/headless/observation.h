#pragma once

// What the headless back end lets tests and the scenario runner observe. Not part of the
// Win32 subset: nothing in the system's code includes this.

#include <functional>
#include <string>

namespace headless {

// Everything written with OutputDebugStringW since the last clear.
const std::u16string& DebugOutput();
void ClearDebugOutput();
// Called with each piece of debug output as it is written (null: none).
void SetDebugOutputListener(std::function<void(const std::u16string&)> listener);

}  // namespace headless
