#pragma once

#include <cstdint>
#include <string>

// The short size text of a byte count in units of 1024: "512B", "1KB", "1.50KB",
// "16384.00PB". The output is cleared first.
void FormatSize(std::u16string& output, uint64_t count);
void FormatSizeUtf8(std::string& output, uint64_t count);
