// One booking as read from the booking file: fixed-size, zero-terminated
// text areas, no allocation. Every byte after a field's terminator is zero,
// so the areas can be compared with memcmp.
#ifndef DORVEK_TRANSFER_BOOKING_RECORD_H_
#define DORVEK_TRANSFER_BOOKING_RECORD_H_

#include <cstdint>

namespace dorvek {

// Widths of the file's fixed columns, and the most of the tail we keep.
constexpr int kSchemaWidth = 20;
constexpr int kPersonnelNumberWidth = 8;
constexpr int kDateWidth = 10;
constexpr int kTimeWidth = 5;
constexpr int kFunctionTypeWidth = 5;
constexpr int kFunctionCodeWidth = 3;
constexpr int kCostCentreWidth = 34;
constexpr int kTerminalNameWidth = 255;

struct BookingRecord {
  char schema[kSchemaWidth + 1];
  char personnelNumber[kPersonnelNumberWidth + 1];
  char date[kDateWidth + 1];  // dd.mm.yyyy
  char time[kTimeWidth + 1];  // HH:MM
  char functionType[kFunctionTypeWidth + 1];
  char functionCode[kFunctionCodeWidth + 1];
  char costCentre[kCostCentreWidth + 1];
  int32_t sequenceNumber;  // from 1, in read order
};

static_assert(sizeof(BookingRecord) == 96, "keep the record compact");

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_BOOKING_RECORD_H_
