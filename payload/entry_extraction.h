// Extraction of one selected file entry into the current target directory. Compressed entries
// pass through ExplodeStream, stored ones are copied in blocks of 16384 bytes; both go through
// ReadCallback (bounded to the entry's own bytes, feeding the meter) and WriteCallback.
#ifndef TSARIN_PAYLOAD_ENTRY_EXTRACTION_H
#define TSARIN_PAYLOAD_ENTRY_EXTRACTION_H

#include <cstdint>

// Writes the entry whose size field is in entryRemaining to installDir followed by name. True
// when the file was written completely and closed; false when the attempt must stop (the user
// has been told). name may lie in workBuffer: it is not used once data starts to move.
bool ExtractEntry(const char* name);

// The decoder's read function: at most *wanted bytes of the current entry into buffer; 0 when
// the entry is used up or the file ended (then readFailed is set). The meter moves unless
// `quiet` is given (any non-null pointer), as for the check before the install.
uint32_t ReadCallback(char* buffer, uint32_t* wanted, void* quiet);

// The decoder's write function: writes *count bytes to outputFile; a short write sets
// writeFailed, and later calls still write.
void WriteCallback(char* buffer, uint32_t* count, void* param);

#endif  // TSARIN_PAYLOAD_ENTRY_EXTRACTION_H
