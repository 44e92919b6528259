// The headless debugger output: kept in memory for the observer instead of written out.

#include "platform/headless/observation.h"
#include "platform/win32.h"

namespace {

struct DebugChannel {
  std::u16string text;
  std::function<void(const std::u16string&)> listener;
};

DebugChannel& Channel() {
  static DebugChannel channel;
  return channel;
}

}  // namespace

void OutputDebugStringW(LPCWSTR text) {
  if (!text) return;
  const std::u16string piece(text);
  Channel().text += piece;
  if (Channel().listener) Channel().listener(piece);
}

namespace headless {

const std::u16string& DebugOutput() { return Channel().text; }

void ClearDebugOutput() { Channel().text.clear(); }

void SetDebugOutputListener(std::function<void(const std::u16string&)> listener) {
  Channel().listener = std::move(listener);
}

}  // namespace headless
