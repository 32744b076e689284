// Reader of the payload archive appended to the setup executable (layout in
// payload/archive_format.h). Works on installContext: payloadFile, workBuffer, entryRemaining,
// bytesConsumed, payloadTotal, lastBlockSize and the setup dialog's meter. Every damage is
// reported with ReportDamagedArchive; an over-long name stops the attempt silently.
#ifndef TSARIN_PAYLOAD_PAYLOAD_READER_H
#define TSARIN_PAYLOAD_PAYLOAD_READER_H

#include <cstdint>

// Opens modulePath and searches it, in 16-byte records from offset 0, for the marker. On
// success payloadFile is open and stands on the first entry.
bool FindPayload();

// payloadTotal := the bytes from the stream's position (just after the marker) to the end of
// the file, trailer included. False (reported as damage) when the length cannot be taken or
// does not fit the counter.
bool MeasurePayload();

// Reads one zero-terminated name into buffer (which holds at least 261 bytes). True when a
// complete name, possibly empty, was read. A 261st non-zero byte returns false with no message.
bool ReadEntryName(char* buffer);

// Reads the 4-byte size field into entryRemaining.
bool ReadEntrySize();

// Reads past the current entry's data in blocks of at most 16384 bytes, with a blank status.
bool SkipEntry();

// Accounts the block just read (lastBlockSize) and moves the meter to a value from 1 to 99.
void AdvanceProgress();

// Reads and accounts entryRemaining bytes without showing anything; false (nothing reported)
// when the file ends first. Shared by SkipEntry and by extraction's tail skipping.
bool DiscardEntryRest();

#endif  // TSARIN_PAYLOAD_PAYLOAD_READER_H
