#include "app/jobs.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

int DefaultJobs() {
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
}

int JobsValue(const char* text) {
  char* end = nullptr;
  const long n = text ? std::strtol(text, &end, 10) : 0;
  return end && end != text && *end == '\0' && n >= 1 && n <= 64 ? static_cast<int>(n) : 0;
}
