#pragma once

// Counts the JavaScriptCore string handles made and released in this process, by standing
// in for the engine's string functions and forwarding to the real ones. Linked into the
// tests of code that must release every string handle it creates.

namespace string_handles {

// Handles created (from text, characters or a value's string form) minus handles released.
long Live();

}  // namespace string_handles
