#pragma once

// Waiting on GTK in tests: the default main context runs until a condition holds or a
// time limit passes (never a sleep), and programs run as another client of the display
// while the loop keeps serving it.

#include <glib.h>

#include <signal.h>

#include <functional>
#include <string>
#include <vector>

namespace gtk_test {

// Runs the default main context until done() holds or the milliseconds have passed;
// answers done(). The condition is looked at after every event, and every 10 ms for what
// no event of this process announces (a file another program writes).
inline bool RunUntil(const std::function<bool()>& done, unsigned milliseconds = 5000) {
  bool expired = false;
  const guint timer = g_timeout_add(
      milliseconds,
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &expired);
  const guint tick = g_timeout_add(
      10, [](gpointer) { return G_SOURCE_CONTINUE; }, nullptr);
  while (!done() && !expired) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
  if (!expired) g_source_remove(timer);
  return done();
}

// Starts the program (found on the PATH) without waiting for it; the caller reaps it with
// a child watch. False when it cannot be started.
inline bool Spawn(const std::vector<std::string>& arguments, GPid* pid, gint* output = nullptr) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return g_spawn_async_with_pipes(nullptr, argv.data(), nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                  nullptr, nullptr, pid, nullptr, output, nullptr, nullptr);
}

struct ProgramResult {
  bool finished = false;
  int status = -1;
  std::string output;
};

// Runs the program with the loop going (so it can talk to this process as a display
// client), at most for the milliseconds given, and answers what it printed.
inline ProgramResult RunProgram(const std::vector<std::string>& arguments,
                                unsigned milliseconds = 5000) {
  ProgramResult result;
  GPid pid = 0;
  gint out = -1;
  if (!Spawn(arguments, &pid, &out)) return result;
  struct Watch {
    ProgramResult* result;
    bool exited = false;
  } watch{&result};
  g_child_watch_add(
      pid,
      [](GPid child, gint status, gpointer data) {
        auto* w = static_cast<Watch*>(data);
        w->exited = true;
        w->result->status = status;
        g_spawn_close_pid(child);
      },
      &watch);
  GIOChannel* channel = g_io_channel_unix_new(out);
  g_io_channel_set_close_on_unref(channel, TRUE);
  g_io_channel_set_flags(channel, G_IO_FLAG_NONBLOCK, nullptr);
  const auto drain = [&] {
    gchar buffer[4096];
    gsize read = 0;
    while (g_io_channel_read_chars(channel, buffer, sizeof buffer, &read, nullptr) ==
               G_IO_STATUS_NORMAL &&
           read > 0) {
      result.output.append(buffer, read);
    }
  };
  RunUntil(
      [&] {
        drain();
        return watch.exited;
      },
      milliseconds);
  drain();
  g_io_channel_shutdown(channel, FALSE, nullptr);
  g_io_channel_unref(channel);
  result.finished = watch.exited;
  if (!watch.exited) {
    // The watch refers to this frame: the child must be gone before it returns.
    kill(pid, SIGKILL);
    RunUntil([&] { return watch.exited; });
  }
  return result;
}

}  // namespace gtk_test
