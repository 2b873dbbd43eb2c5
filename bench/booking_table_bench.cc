// Reading and sorting a large booking file, the echo going to /dev/null.
// The file comes from DORVEK_BENCH_FILE or is generated once (1,000,000
// bookings) under /tmp.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "transfer/booking_table.h"

namespace {

std::string benchFile() {
  if (const char* f = std::getenv("DORVEK_BENCH_FILE")) return f;
  const std::string path = "/tmp/dorvek-bench-1000000.txt";
  if (FILE* existing = std::fopen(path.c_str(), "r")) {
    std::fclose(existing);
    return path;
  }
  FILE* f = std::fopen(path.c_str(), "w");
  std::mt19937 engine(42);
  auto rng = [&engine] { return static_cast<unsigned>(engine()); };
  const char* schemas[] = {"DBO                 ", "VANTORIUM           ", "WERK2               "};
  const char* types[] = {"KO   ", "GE   ", "PA   ", "DG   "};
  for (int i = 0; i < 1000000; ++i) {
    std::fprintf(f, "%s%08u%02u.%02u.%04u%02u:%02u%s%03u%s\n", schemas[rng() % 3], rng() % 5000,
                 1 + rng() % 28, 1 + rng() % 12, 2020 + rng() % 6, rng() % 24, rng() % 60,
                 types[rng() % 4], rng() % 1000, "Kostenstelle 4711");
  }
  std::fclose(f);
  return path;
}

void BM_ReadAndSort(benchmark::State& state) {
  const std::string path = benchFile();
  FILE* devNull = std::fopen("/dev/null", "w");
  size_t records = 0, bytes = 0;
  for (auto _ : state) {
    dorvek::BookingTable table;
    dorvek::readBookingTable(path.c_str(), table, devNull);
    dorvek::sortBookingTable(table, devNull);
    std::fflush(devNull);
    records = table.size();
    bytes = table.memoryBytes();
  }
  std::fclose(devNull);
  state.counters["bookings"] = static_cast<double>(records);
  state.counters["table_bytes_per_booking"] =
      records ? static_cast<double>(bytes) / static_cast<double>(records) : 0;
  state.counters["record_bytes"] = sizeof(dorvek::BookingRecord);
}
BENCHMARK(BM_ReadAndSort)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
