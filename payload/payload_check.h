// The check of the whole payload before the install changes anything, and the per-file CRC-32
// comparison during extraction. Works on installContext: payloadFile, recordFile, workBuffer,
// entryRemaining, readFailed, bytesConsumed.
//
// A setup file with an integrity record (payload/archive_format.h) is checked by its span's
// length and CRC-32, reading it once; one without is walked as the install will walk it, every
// compressed entry decoded and thrown away. Either way the entry names and sizes are read as the
// install reads them, so a cut, a damaged name or size, or a stream that does not decode is found
// here, before the target directory is touched.
#ifndef TSARIN_PAYLOAD_PAYLOAD_CHECK_H
#define TSARIN_PAYLOAD_PAYLOAD_CHECK_H

#include <cstdint>

// Checks the payload from the stream's position (just after the marker, where FindPayload
// leaves it) and puts the stream back there. With a record, recordFile is then open on its
// first file CRC-32. False when the file is damaged (reported with ReportDamagedArchive), a
// name longer than 260 characters included.
bool CheckPayload();

// Takes the record's CRC-32 for the next file entry, in archive order: every file entry takes
// its turn, skipped ones with `compare` false. False (nothing reported) when `compare` is set and
// `crc` differs, or when the record cannot be read any more; true without a record.
bool TakeRecordedCrc(uint32_t crc, bool compare);

// Closes recordFile, if open.
void CloseRecord();

#endif  // TSARIN_PAYLOAD_PAYLOAD_CHECK_H
