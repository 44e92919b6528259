#pragma once

// Connects a GObject signal to a member function. The member takes the signal's own
// parameters (the instance first, without the user data) and returns the signal's result,
// so the compiler checks each handler against the signal's shape as it is written here.

#include <glib-object.h>

template <auto Handler>
struct SignalThunk;

template <typename Self, typename Result, typename... Parameters,
          Result (Self::*Handler)(Parameters...)>
struct SignalThunk<Handler> {
  static Result Call(Parameters... parameters, gpointer self) {
    return (static_cast<Self*>(self)->*Handler)(parameters...);
  }
};

template <auto Handler, typename Self>
void ConnectSignal(gpointer instance, const char* signal, Self* self) {
  g_signal_connect(instance, signal, G_CALLBACK(&SignalThunk<Handler>::Call), self);
}
