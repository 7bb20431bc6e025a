// Stands in, on this machine, for what the C libraries of other platforms do differently, preloaded
// into the game by the scripts that ask for it: poll() as macOS has it, which does not take
// terminals (a terminal comes back POLLNVAL at once), and rand() as musl has it, whose first value
// is 0.
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

extern "C" int poll(pollfd *fds, nfds_t count, int timeout) {
  int refused = 0;
  for (nfds_t i = 0; i < count; ++i) {
    fds[i].revents = fds[i].fd >= 0 && ::isatty(fds[i].fd) ? POLLNVAL : 0;
    refused += fds[i].revents != 0;
  }
  if (refused > 0)
    return refused;
  using Poll = int (*)(pollfd *, nfds_t, int);
  static const auto next = reinterpret_cast<Poll>(::dlsym(RTLD_NEXT, "poll"));
  return next(fds, count, timeout);
}

extern "C" int rand() {
  return 0;
}
