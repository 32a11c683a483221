// A system short of threads or of memory, for the tests of the command line
// and the Python module. Preloaded, it lets the first FB_THREADS_ALLOWED calls
// of pthread_create through and fails the others with EAGAIN, as a process
// limit does (which root, running the tests, would not feel); the first
// refusal comes late, so that the threads already started may have ended
// their work by then. With FB_NO_TABLE_MEMORY set, every block aligned to
// 2 MiB or more is refused, as the fiber class table's are when memory runs out.
// With FB_THREADS_COUNTED naming a file, the process writes into it at exit
// how many threads it asked for.
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<long> threadsAsked{0};

__attribute__((destructor)) void writeThreadsAsked() {
  if (const char* path = std::getenv("FB_THREADS_COUNTED"))
    if (std::FILE* f = std::fopen(path, "w")) {
      std::fprintf(f, "%ld\n", threadsAsked.load());
      std::fclose(f);
    }
}
}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
  static const long allowed = [] {
    const char* text = std::getenv("FB_THREADS_ALLOWED");
    return text ? std::atol(text) : -1;
  }();
  const long number = threadsAsked.fetch_add(1);
  if (allowed < 0 || number < allowed) return real(thread, attr, start, arg);
  if (number == allowed) ::usleep(300'000);
  return EAGAIN;
}

extern "C" int posix_memalign(void** memory, std::size_t alignment, std::size_t bytes) {
  using Allocate = int (*)(void**, std::size_t, std::size_t);
  static const auto real = reinterpret_cast<Allocate>(::dlsym(RTLD_NEXT, "posix_memalign"));
  static const bool refuse = std::getenv("FB_NO_TABLE_MEMORY") != nullptr;
  if (refuse && alignment >= (std::size_t{2} << 20)) return ENOMEM;
  return real(memory, alignment, bytes);
}
