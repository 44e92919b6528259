#pragma once

// Counts the JavaScriptCore string handles and value protections of this process, by
// standing in for the engine's functions and forwarding to the real ones. Linked into the
// tests of code that must release every string handle it creates and unprotect every
// value it protects.

namespace string_handles {

// Handles created (from text, characters or a value's string form) minus handles released.
long Live();

}  // namespace string_handles

namespace protected_values {

// JSValueProtect calls minus JSValueUnprotect calls.
long Live();

}  // namespace protected_values
