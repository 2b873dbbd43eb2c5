// Any bytes as a booking file: read, echo and sort without a fault, and the
// sorted table must be in the order of compareBookings.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/text_input.h"
#include "transfer/booking_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* devNull = std::fopen("/dev/null", "w");
  dorvek::TextInput in;
  if (!in.openMemory(data, size)) return 0;
  dorvek::BookingTable table;
  if (dorvek::readBookingTable(in, table, devNull) != dorvek::ReadResult::kRead) std::abort();
  dorvek::sortBookingTable(table, devNull);
  for (size_t i = 1; i < table.size(); ++i) {
    if (dorvek::compareBookings(table[i - 1], table[i]) >= 0) std::abort();
  }
  return 0;
}
