#include "app/jobs.h"

#include <algorithm>
#include <cstdlib>
#if !defined(_WIN32)
#include <thread>
#endif

int DefaultJobs() {
#if defined(_WIN32)
  // kelvod.exe encodes on one thread whatever --jobs says
  // (fileops/encode_ahead_win32.cpp).
  return 1;
#else
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
#endif
}

int JobsValue(const char* text) {
  char* end = nullptr;
  const long n = text ? std::strtol(text, &end, 10) : 0;
  return end && end != text && *end == '\0' && n >= 1 && n <= 64 ? static_cast<int>(n) : 0;
}
